// The Linux port on real file systems: its calls, whole scans, reports and
// removals on local disk, a folder swapped for a link mid-scan, an NTFS volume
// through ntfs-3g, volumes that cannot hold streams and a disk that fills up.
// Set up and checked with the system calls directly.
#include "engine/posix/posix_file_system.h"

#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/assessment.h"
#include "engine/csv_report.h"
#include "engine/path_forms.h"
#include "engine/posix/descriptors.h"
#include "engine/removal.h"
#include "engine/stream_listing.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "frontend/delete_plan.h"
#include "support/real_volumes.h"
#include "support/scan_stats_printer.h"

namespace streamscan {
namespace {

using namespace realfs;

const std::string kZoneText = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://host.test/s.exe\r\n";
const std::string kPayload("MZ\x90\0\x03\0\0\0\x04\0\0\0\xff\xff\0\0\xb8", 17);

class PosixPort : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = noUserAttributes(folder.path()); !why.empty())
            GTEST_SKIP() << why;
    }

    TempFolder folder{"port"};
    PosixFileSystem fs;
};

TEST_F(PosixPort, ScanGivesEveryStreamAndItemAsAWindowsListingWould) {
    const std::string root = folder.at("root");
    ASSERT_TRUE(makeFolder(root) && makeFolder(root + "/sub"));
    ASSERT_TRUE(makeFile(root + "/setup.exe", {"user.Zone.Identifier", kZoneText}));
    // Samba's form keeps a zero byte after the value; DOSATTRIB is metadata.
    ASSERT_TRUE(makeFile(root + "/photo.jpg", {"user.DosStream.payload:$DATA", kPayload + '\0',
                                               "user.DOSATTRIB", "0x20"}));
    ASSERT_TRUE(makeFile(root + "/misc", {"user.empty", "", "user.:colon", "c"}));
    // Both forms of one name: each row reads its own.
    ASSERT_TRUE(makeFile(root + "/twice", {"user.payload", "plain", "user.DosStream.payload:$DATA",
                                           std::string("samba\0", 6)}));
    // Anyone may write a reparse bit into user.DOSATTRIB; it is shown, not obeyed.
    ASSERT_TRUE(makeFolder(root + "/claims-link") &&
                setAttribute(root + "/claims-link", "user.DOSATTRIB", "0x410"));
    ASSERT_TRUE(makeFile(root + "/claims-link/inner.txt", {"user.s", "in"}));
    // A name that is not UTF-8, with a control and a direction override.
    ASSERT_TRUE(makeFile(root + "/bad\xff\x01\u202E", {"user.\x1b[2J", "z"}));
    ASSERT_TRUE(makeFile(root + "/.hidden") && makeFile(root + "/readonly"));
    // More names than the first buffer the port lists them in holds.
    std::vector<std::string> many;
    for (char c = 'a'; c < 'f'; ++c)
        many.insert(many.end(), {"user." + std::string(250, c), ""});
    ASSERT_TRUE(makeFile(root + "/many", many));
    ASSERT_EQ(chmod((root + "/readonly").c_str(), 0444), 0);
    ASSERT_EQ(mkfifo((root + "/pipe").c_str(), 0644), 0);
    ASSERT_TRUE(setAttribute(root + "/sub", "user.folder.info", "F"));
    // Three links to folders and five to anything else: followed, each would
    // show a stream again or loop.
    const std::pair<const char*, std::string> links[] = {
        {"up", ".."},     {"top", root},    {"into-sub", "sub"},     {"self", "self"},
        {"ping", "pong"}, {"pong", "ping"}, {"dangling", "nowhere"}, {"to-file", "setup.exe"}};
    for (const auto& [link, target] : links)
        ASSERT_EQ(symlink(target.c_str(), (root + "/" + link).c_str()), 0);
    // 2021-03-04 05:06:07.123456789 UTC
    const struct timespec times[2] = {{1614834367, 123456789}, {1614834367, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, (root + "/setup.exe").c_str(), times, 0), 0);

    const ScanResult result = scanTree(fs, {root}, {.showItemsWithoutStreams = true});
    EXPECT_EQ(result.stats, (ScanStats{.files = 15,
                                       .folders = 6,
                                       .itemsWithStreams = 8,
                                       .streams = 14,
                                       .linksNotFollowed = 3,
                                       .metadataAttributes = 2}));
    // host, stream, type, size, head, host attributes
    const std::tuple<std::u16string, std::u16string, std::u16string, std::uint64_t, std::string,
                     std::uint32_t>
        rows[] = {
            {u"setup.exe", u"Zone.Identifier", u"$DATA", kZoneText.size(), kZoneText.substr(0, 16),
             0x20},
            {u"photo.jpg", u"payload", u"$DATA", kPayload.size(), kPayload.substr(0, 16), 0x20},
            {u"misc", u"empty", u"$DATA", 0, "", 0x20},
            {u"misc", u":colon", u"$DATA", 1, "c", 0x20},
            {u"claims-link", u"", u"", 0, "", 0x410},
            {u"inner.txt", u"s", u"$DATA", 2, "in", 0x20},
            {u"sub", u"folder.info", u"$DATA", 1, "F", 0x10},
            {u"bad\xDCFF\u0001\u202E", u"\u001b[2J", u"$DATA", 1, "z", 0x20},
            {u".hidden", u"", u"", 0, "", 0x22},
            {u"readonly", u"", u"", 0, "", 0x21},
            {u"pipe", u"", u"", 0, "", 0x80},
            {u"to-file", u"", u"", 0, "", 0x400},
            {u"dangling", u"", u"", 0, "", 0x400},
        };
    for (const auto& [host, stream, type, size, head, attributes] : rows) {
        const StreamRecord* record = result.find(host, stream);
        ASSERT_NE(record, nullptr) << encodeName(host) << ":" << encodeName(stream);
        EXPECT_EQ(std::tuple(record->streamType, record->streamSize, headOf(*record),
                             record->hostAttributes),
                  std::tuple(type, size, head, attributes))
            << encodeName(host) << ":" << encodeName(stream);
    }
    EXPECT_EQ(result.find(u"setup.exe", u"Zone.Identifier")->hostModified, 132593079671234567ULL);
    std::vector<std::string> read;
    for (const StreamRecord& row : result.records) {
        std::unique_ptr<StreamReader> reader;
        if (row.hostName == u"twice" && fs.openListedStream(row, reader) == kErrorSuccess) {
            const std::vector<std::uint8_t> bytes = readFromStream(*reader, 16).bytes;
            read.push_back(encodeName(row.carrier) + "=" + std::string(bytes.begin(), bytes.end()));
        }
    }
    EXPECT_EQ(read, (std::vector<std::string>{"user.payload=plain",
                                              "user.DosStream.payload:$DATA=samba"}));
    // However broken its name, a row leads back to the very file and attribute.
    const StreamRecord* broken = result.find(u"bad\xDCFF\u0001\u202E", u"\u001b[2J");
    EXPECT_EQ(fs.deleteStream(hostPathOf(*broken, PathStyle::posix), broken->streamName, u"$DATA"),
              kErrorSuccess);
    EXPECT_EQ(attribute(root + "/bad\xff\x01\u202E", "user.\x1b[2J"), std::nullopt);
}

// A folder swapped for a link to elsewhere between its parent's listing and
// its own is never followed out of the tree: its listing fails and counts. One
// swapped while a sidecar file in it is being read leaves the read in the tree.
TEST_F(PosixPort, AFolderSwappedForALinkMidScanIsNotFollowedOutOfTheTree) {
    struct Swapping : PosixFileSystem {
        std::string folder, outside, sidecarHost;
        void swap() {
            rename(folder.c_str(), (folder + ".moved").c_str());
            symlink(outside.c_str(), folder.c_str());
        }
        std::uint32_t startListing(const std::u16string& path, DirectoryEntry& first,
                                   std::unique_ptr<DirectoryListing>& listing) override {
            if (sidecarHost.empty() && encodeName(path) == folder)
                swap();
            return PosixFileSystem::startListing(path, first, listing);
        }
        // Asked of the item a sidecar file stands beside, just before the read.
        std::uint32_t itemFacts(const std::u16string& path, ItemFacts& facts) override {
            if (encodeName(path) == sidecarHost)
                swap();
            return PosixFileSystem::itemFacts(path, facts);
        }
    } swapping;
    swapping.folder = folder.at("root/sub");
    swapping.outside = folder.at("outside");
    ASSERT_TRUE(makeFolder(folder.at("root")) && makeFolder(swapping.folder));
    ASSERT_TRUE(makeFolder(swapping.outside));
    ASSERT_TRUE(makeFile(folder.at("root/a.txt"), {"user.s", "in the tree"}));
    ASSERT_TRUE(makeFile(folder.at("root/sub/b.txt"), {"user.s", "never met"}));
    ASSERT_TRUE(makeFile(folder.at("outside/secret.txt"), {"user.s", "outside the tree"}));
    const ScanResult result = scanTree(swapping, {folder.at("root")});
    EXPECT_EQ(result.stats,
              (ScanStats{
                  .files = 1, .folders = 2, .itemsWithStreams = 1, .streams = 1, .listFailed = 1}));

    swapping.folder = folder.at("dl");
    swapping.outside = folder.at("elsewhere");
    swapping.sidecarHost = folder.at("dl/setup.exe");
    for (const std::string top : {"dl", "elsewhere"}) {
        ASSERT_TRUE(makeFolder(folder.at(top)) &&
                    makeFile(folder.at(top + "/setup.exe"), {}, top == "dl" ? "x" : "outside"));
        ASSERT_TRUE(writeFile(folder.at(top + "/setup.exe:Zone.Identifier"),
                              "[ZoneTransfer]\r\nZoneId=" + std::string(top == "dl" ? "3" : "0")));
    }
    const ScanResult sidecar = scanTree(swapping, {folder.at("dl")});
    const StreamRecord* zone = sidecar.find(u"setup.exe", u"Zone.Identifier");
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(std::pair(zone->zone.zoneId, zone->hostSize),
              std::pair(std::int64_t{3}, std::uint64_t{1}));
}

// Between the scan and the removal the tree changes: a folder on the way is
// swapped for a link to a copy outside, or a host is replaced by another file
// of its name. Each row then refuses and nothing outside is touched; left
// alone, each row removes its own carrier and no other form of its name.
TEST_F(PosixPort, RemovalReachesTheListedItemAndCarrierOrRefuses) {
    for (const std::string top : {"root", "outside"}) {
        ASSERT_TRUE(makeFolder(folder.at(top)) && makeFolder(folder.at(top + "/sub")));
        ASSERT_TRUE(makeFile(folder.at(top + "/sub/file.txt"),
                             {"user.payload", "a", "user.DosStream.payload:$DATA", "b"}));
        ASSERT_TRUE(makeFile(folder.at(top + "/sub/setup.exe"), {"user.Zone.Identifier", ""}));
        ASSERT_TRUE(makeFile(folder.at(top + "/sub/setup.exe:Zone.Identifier"), {}, kZoneText));
    }
    const std::string sub = folder.at("root/sub");
    const ScanResult scanned = scanTree(fs, {folder.at("root")});
    ASSERT_EQ(scanned.stats.streams, 4u);
    std::vector<std::uint64_t> all(4);
    std::iota(all.begin(), all.end(), 0);
    const auto remove = [&](const std::vector<std::uint64_t>& rows) {
        return RemoveStreams(tessalin::planDelete(scanned.records, rows, PathStyle::posix).targets,
                             fs);
    };
    const auto everything = [&](const std::string& top) {
        return shell("cd \"$1\" && getfattr -d sub/* && ls sub", {folder.at(top)});
    };
    const std::string before = everything("outside");

    ASSERT_EQ(rename(sub.c_str(), (sub + ".moved").c_str()), 0);
    ASSERT_EQ(symlink(folder.at("outside/sub").c_str(), sub.c_str()), 0);
    RemovalResult result = remove(all);
    EXPECT_EQ(result.failedCount, 4u);
    for (const RemovalOutcome& outcome : result.outcomes)
        EXPECT_EQ(outcome.message, kItemChangedText);
    EXPECT_EQ(everything("outside"), before);
    ASSERT_EQ(unlink(sub.c_str()), 0);
    ASSERT_EQ(rename((sub + ".moved").c_str(), sub.c_str()), 0);

    // The Samba form alone, and the sidecar file alone.
    std::vector<std::uint64_t> chosen;
    for (std::uint64_t i = 0; i < scanned.records.size(); ++i) {
        const StreamRecord& row = scanned.records[i];
        if (row.sidecarFile || row.carrier == u"user.DosStream.payload:$DATA")
            chosen.push_back(i);
    }
    EXPECT_EQ(remove(chosen).removedCount, 2u);
    EXPECT_EQ(shell("cd \"$1\" && getfattr -d * && ls", {sub}),
              "# file: file.txt\nuser.payload=\"a\"\n\n# file: setup.exe\n"
              "user.Zone.Identifier=\"\"\n\nfile.txt\nsetup.exe\n");

    ASSERT_TRUE(makeFile(sub + "/file.txt.new", {"user.payload", "new"}));
    ASSERT_EQ(rename((sub + "/file.txt.new").c_str(), (sub + "/file.txt").c_str()), 0);
    const StreamRecord* payload = scanned.find(u"file.txt", u"payload");
    ASSERT_EQ(payload->carrier, u"user.payload");
    result = remove({static_cast<std::uint64_t>(payload - scanned.records.data())});
    EXPECT_EQ(result.outcomes.at(0).message, kItemChangedText);
    EXPECT_EQ(attribute(sub + "/file.txt", "user.payload"), "new");
}

// 25 levels of 200-byte names: more than PATH_MAX. The walk and the removal go
// through descriptors, so the bottom is listed and its stream removed.
TEST_F(PosixPort, TreesDeeperThanPathMaxAreWalkedAndRemovedFrom) {
    std::string path = folder.at("deep");
    ASSERT_TRUE(makeFolder(path));
    const UniqueFd top(open(path.c_str(), O_PATH | O_DIRECTORY));
    UniqueFd at(dup(top.get()));
    for (int level = 0; level < 25; ++level) {
        const std::string name(200, static_cast<char>('a' + level));
        ASSERT_EQ(mkdirat(at.get(), name.c_str(), 0755), 0);
        at.reset(openat(at.get(), name.c_str(), O_PATH | O_DIRECTORY));
        path += "/" + name;
    }
    const UniqueFd file(openat(at.get(), "f", O_WRONLY | O_CREAT, 0644));
    ASSERT_EQ(fsetxattr(file.get(), "user.s", "x", 1, 0), 0);
    ASSERT_GT(path.size(), std::size_t{PATH_MAX});

    const ScanResult result = scanTree(fs, {folder.at("deep")});
    EXPECT_EQ(result.stats,
              (ScanStats{.files = 1, .folders = 26, .itemsWithStreams = 1, .streams = 1}));
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(RemoveStreams({tessalin::removalTargetOf(result.records[0], PathStyle::posix)}, fs)
                  .removedCount,
              1u);
    char value[4];
    EXPECT_EQ(fgetxattr(file.get(), "user.s", value, sizeof value), -1);
}

// ntfs-3g shows each NTFS stream as a user. attribute and the NTFS attributes
// as system.ntfs_attrib; a stream of 64 KiB or more it shows as 65536 bytes and
// will not hand over: the row says "at least" and counts it unreadable.
TEST(NtfsVolume, StreamsAttributesAndTheSizeCapAreSeenAsTheyAre) {
    if (const std::string why = volumeUnavailableReason(VolumeKind::ntfs); !why.empty())
        GTEST_SKIP() << why;
    TempFolder folder("ntfs");
    const std::string image = folder.at("volume.img");
    const std::string point = folder.at("ntfs mount\tpoint");  // the mount table escapes it
    MountedVolume volume;
    std::string error;
    // A stream too large for the attribute interface is written as file:stream.
    ASSERT_TRUE(volume.mount(VolumeKind::ntfs, image, point, "streams_interface=windows", error))
        << error;
    ASSERT_TRUE(writeFile(volume.at("big.bin"), "big"));
    ASSERT_TRUE(writeFile(volume.at("big.bin:huge"), std::string(70000, 'h')));
    // 4 GiB, whose size the attribute interface gives modulo 2^32: as 0.
    ASSERT_TRUE(writeFile(volume.at("big.bin:wrap"), ""));
    ASSERT_EQ(truncate(volume.at("big.bin:wrap").c_str(), 4LL << 30), 0);
    ASSERT_TRUE(volume.unmount(&error)) << error;
    ASSERT_TRUE(volume.mount(VolumeKind::ntfs, image, point, "", error)) << error;
    ASSERT_TRUE(makeFolder(volume.at("dir")));
    ASSERT_TRUE(setAttribute(volume.at("dir"), "user.folder stream", "on a folder"));
    ASSERT_TRUE(makeFile(volume.at("hidden.txt"), {"system.ntfs_attrib", {"\x27\0\0\0", 4}}));

    PosixFileSystem fs;
    const VolumeInfo info = fs.queryVolume(decodeName(volume.at("dir")));
    EXPECT_TRUE(info.known && info.namedStreams);
    EXPECT_EQ(info.fileSystemName, u"fuse");  // an image file; a block device gives fuseblk
    const ScanResult result = scanTree(fs, {point}, {.showItemsWithoutStreams = true});
    EXPECT_EQ(result.stats, (ScanStats{.files = 2,
                                       .folders = 2,
                                       .itemsWithStreams = 2,
                                       .streams = 3,
                                       .unreadableStreams = 2}));
    const StreamRecord* hidden = result.find(u"hidden.txt", u"");
    const StreamRecord* folderStream = result.find(u"dir", u"folder stream");
    const StreamRecord* huge = result.find(u"big.bin", u"huge");
    ASSERT_TRUE(hidden != nullptr && folderStream != nullptr && huge != nullptr);
    EXPECT_EQ(hidden->hostAttributes, 0x27u);  // hidden, system, read-only, archive
    EXPECT_EQ(headOf(*folderStream), "on a folder");
    EXPECT_EQ(
        std::tuple(huge->unreadable, huge->streamSizeAtLeast, huge->streamSize, huge->headLength),
        std::tuple(true, true, std::uint64_t{65536}, std::uint64_t{0}));
    const StreamRecord* wrapped = result.find(u"big.bin", u"wrap");
    ASSERT_NE(wrapped, nullptr);
    EXPECT_EQ(std::tuple(wrapped->unreadable, wrapped->streamSizeAtLeast, wrapped->streamSize),
              std::tuple(true, true, std::uint64_t{4097}));
    // A removal takes the named stream and nothing else and names one that is
    // not there; a fresh mount shows what NTFS kept, not what ntfs-3g had in memory.
    const RemovalResult removed =
        RemoveStreams({{decodeName(volume.at("dir")), u"folder stream", u"$DATA"},
                       {decodeName(volume.at("big.bin")), u"gone", u"$DATA"}},
                      fs);
    EXPECT_EQ(removed.outcomes[1].message, WindowsErrorText(kErrorFileNotFound));
    ASSERT_TRUE(volume.unmount(&error)) << error;
    ASSERT_TRUE(volume.mount(VolumeKind::ntfs, image, point, "", error)) << error;
    EXPECT_EQ(scanTree(fs, {point}).stats, (ScanStats{.files = 2,
                                                      .folders = 2,
                                                      .itemsWithStreams = 1,
                                                      .streams = 2,
                                                      .unreadableStreams = 2}));
    EXPECT_EQ(readFile(volume.at("big.bin")), "big");
}

// ramfs, like a kernel FAT, exFAT or ISO 9660 volume, lists an empty set of
// attributes and refuses only user. names; fusefat refuses the listing too.
// Nothing on such a volume is examined, and that is counted, whether it is a
// root or is met below one (a stick under /media): never a clean result.
TEST(VolumesWithoutStreams, AreCountedAsRootsAndBelowARootAndNeverEntered) {
    for (const VolumeKind kind : {VolumeKind::ramfs, VolumeKind::fat}) {
        std::string error = volumeUnavailableReason(kind);
        if (!error.empty())
            GTEST_SKIP() << error;
        TempFolder folder("nostreams");
        const std::string root = folder.at("root");
        const std::string point = root + "/stick";
        ASSERT_TRUE(makeFolder(root) && makeFile(root + "/a.txt", {"user.s", ""}));
        MountedVolume volume;
        ASSERT_TRUE(volume.mount(kind, folder.at("fat.img"), point, "", error)) << error;
        ASSERT_TRUE(writeFile(point + "/file.txt", "x") && makeFolder(point + "/dir"));

        PosixFileSystem fs;
        const VolumeInfo info = fs.queryVolume(decodeName(point + "/file.txt"));
        EXPECT_TRUE(info.known && !info.namedStreams);
        EXPECT_EQ(info.fileSystemName, kind == VolumeKind::fat ? u"fuse.fusefat" : u"ramfs");
        for (const std::string& scanned : {point, root}) {
            SCOPED_TRACE(scanned);
            const ScanResult result = scanTree(fs, {scanned}, {.showItemsWithoutStreams = true});
            const std::uint64_t local = scanned == root ? 1 : 0;
            EXPECT_EQ(result.stats, (ScanStats{.files = local,
                                               .folders = local,
                                               .itemsWithStreams = local,
                                               .streams = local,
                                               .volumesWithoutStreams = 1}));
            ASSERT_EQ(result.places.places.size(), 1u);
            EXPECT_EQ(result.places.places[0].path, decodeName(point));  // named where met
        }
    }
}

}  // namespace
}  // namespace streamscan
