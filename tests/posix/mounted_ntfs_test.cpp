// A mounted NTFS volume read as NTFS: through its source (an image file, a
// loop device) in each of ntfs-3g's stream modes, whether the scan starts
// below the mount point or meets the mount below its root; removal through
// the mount by the means each mode offers; and a user who cannot read the
// source, who gets the mount with honest labels.
#include "engine/image/mounted_ntfs.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/posix/posix_file_system.h"
#include "engine/removal.h"
#include "engine/unicode.h"
#include "frontend/delete_plan.h"
#include "support/real_volumes.h"

namespace streamscan {
namespace {

using namespace realfs;

const char* const kModes[] = {"xattr", "windows", "none"};

class MountedNtfs : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = volumeUnavailableReason(VolumeKind::ntfs); !why.empty())
            GTEST_SKIP() << why;
        // d.txt carries one stream to remove per mode and source, and one of
        // 70,000 bytes, more than the attribute interface hands over.
        MountedVolume fill;
        std::string error;
        ASSERT_TRUE(fill.mount(VolumeKind::ntfs, image, folder.at("fill"),
                               "streams_interface=windows", error))
            << error;
        ASSERT_TRUE(makeFolder(fill.at("dir")) && writeFile(fill.at("dir/d.txt"), "text"));
        ASSERT_TRUE(writeFile(fill.at("dir/d.txt:big"), std::string(70000, 'b')));
        for (const std::string source : {"image", "loop"}) {
            for (const char* mode : kModes)
                ASSERT_TRUE(writeFile(fill.at("dir/d.txt:") + mode + "-" + source, "MZ\x90"));
        }
        ASSERT_TRUE(fill.unmount(&error)) << error;
    }

    TempFolder folder{"mounted"};
    const std::string image = folder.at("vol.img");
};

// A loop device over the image, let go of however the test ends.
struct LoopDevice {
    explicit LoopDevice(const std::string& image)
        : path(shell("losetup --find --show \"$1\" 2>/dev/null", {image})) {
        if (!path.empty())
            path.pop_back();
    }
    ~LoopDevice() { detach(); }
    void detach() {
        if (!path.empty())
            shell("losetup -d \"$1\"", {path});
        path.clear();
    }
    std::string path;  // empty: none could be had
};

TEST_F(MountedNtfs, IsReadThroughItsSourceInEveryModeAndRemovedFromThroughItsMount) {
    LoopDevice device(image);
    const std::string loop = device.path;
    const std::vector<std::pair<std::string, std::string>> sources = {{"image", image},
                                                                      {"loop", loop}};
    for (const auto& [kind, source] : sources) {
        if (source.empty())
            continue;  // no loop device here: the image file alone
        for (const char* mode : kModes) {
            SCOPED_TRACE(kind + " " + mode);
            MountedVolume volume;
            std::string error;
            ASSERT_TRUE(volume.mount(VolumeKind::ntfs, source, folder.at("m"),
                                     std::string("streams_interface=") + mode, error))
                << error;
            PosixFileSystem host;
            MountedNtfsReader reader(host);
            // Below the mount point, and from above it.
            const std::uint64_t fromAbove = scanTree(reader, {folder.path()}).stats.streams;
            const ScanResult inside = scanTree(reader, {volume.at("dir")});
            EXPECT_EQ(fromAbove, inside.stats.streams);
            EXPECT_TRUE(inside.stats.everythingExamined());
            const StreamRecord* big = inside.find(u"d.txt", u"big");
            ASSERT_NE(big, nullptr);
            EXPECT_EQ(std::pair(big->streamSize, big->streamSizeAtLeast),
                      std::pair(std::uint64_t{70000}, false));
            if (kind == "image" && std::string(mode) == "xattr") {
                // A bind mount shows a folder of the volume: read as that folder.
                ASSERT_TRUE(makeFolder(folder.at("bound")));
                ASSERT_EQ(::mount(volume.at("dir").c_str(), folder.at("bound").c_str(), nullptr,
                                  MS_BIND, nullptr),
                          0);
                MountedNtfsReader bound(host);
                const ScanResult through = scanTree(bound, {folder.at("bound")});
                umount2(folder.at("bound").c_str(), MNT_DETACH);
                const StreamRecord* seen = through.find(u"d.txt", u"big");
                ASSERT_NE(seen, nullptr);
                EXPECT_EQ(seen->hostFolder, decodeName(folder.at("bound")));
            }
            ASSERT_EQ(reader.volumesRead().size(), 1u);
            EXPECT_EQ(encodeName(reader.volumesRead()[0].source), source);

            const StreamRecord* mine = inside.find(u"d.txt", decodeName(mode + ("-" + kind)));
            ASSERT_NE(mine, nullptr);
            const RemovalResult removed =
                RemoveStreams({tessalin::removalTargetOf(*mine, PathStyle::posix)}, reader);
            EXPECT_EQ(removed.removedCount, std::string(mode) != "none" ? 1u : 0u);
            EXPECT_EQ(
                removed.outcomes.at(0).message,
                removed.removedCount == 1 ? u"" : WindowsErrorText(kErrorStreamsHiddenByMount));
            ASSERT_TRUE(volume.unmount(&error)) << error;
        }
    }
    device.detach();
    // The same folder of the image, named in the form rows are written in.
    const CommandResult folderOnly = runCommand({kScanner, "--image", "-q", image + "//p0/dir"});
    EXPECT_NE(folderOnly.out.find("1 file, 1 folder, 1 with streams"), std::string::npos)
        << folderOnly.output();
    // What NTFS kept, seen on a fresh mount: only the none mode's stay.
    MountedVolume after;
    std::string error;
    ASSERT_TRUE(after.mount(VolumeKind::ntfs, image, folder.at("after"),
                            "streams_interface=windows", error))
        << error;
    for (const auto& [kind, source] : sources) {
        for (const char* mode : kModes) {
            const bool kept = source.empty() || std::string(mode) == "none";
            struct stat st;
            EXPECT_EQ(stat((after.at("dir/d.txt:") + mode + "-" + kind).c_str(), &st) == 0, kept)
                << mode << "-" << kind;
        }
    }
}

// Who cannot read the device gets the mount: lower bounds where it shows
// streams as attributes, and where it shows none, a place not examined that
// says so, never a volume that cannot hold streams.
TEST_F(MountedNtfs, AUserWhoCannotReadTheSourceGetsTheMountWithHonestLabels) {
    ASSERT_EQ(chmod(image.c_str(), 0600), 0);
    for (const char* mode : {"xattr", "windows"}) {
        SCOPED_TRACE(mode);
        MountedVolume volume;
        std::string error;
        ASSERT_TRUE(volume.mount(VolumeKind::ntfs, image, folder.at("m"),
                                 std::string("streams_interface=") + mode + ",allow_other", error))
            << error;
        const CommandResult run =
            // The leak checker of a sanitized build cannot follow a process
            // whose user changed; the scan itself is what is under test.
            runCommand({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "env",
                        "ASAN_OPTIONS=detect_leaks=0", kScanner, "--json", volume.at("dir")});
        const bool attributes = std::string(mode) == "xattr";
        EXPECT_EQ(run.exitCode, attributes ? 3 : 2) << run.output();
        EXPECT_NE(run.out.find(attributes ? "\"streamSizeIsLowerBound\":true"
                                          : "\"kind\":\"volumesHidingStreams\""),
                  std::string::npos)
            << run.out;
        EXPECT_NE(run.out.find("\"readThrough\":[]"), std::string::npos);
        ASSERT_TRUE(volume.unmount(&error)) << error;
    }
}

}  // namespace
}  // namespace streamscan
