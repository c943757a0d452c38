// The Linux port on real file systems: its calls, whole scans, reports and
// removals on local disk, a folder swapped for a link mid-scan, an NTFS volume
// through ntfs-3g, volumes that cannot hold streams, a disk that fills up, and
// a share of a real Samba server on 127.0.0.1. Set up and checked with the
// system calls directly.
#include "engine/posix/posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/assessment.h"
#include "engine/csv_report.h"
#include "engine/path_forms.h"
#include "engine/removal.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
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
    ASSERT_TRUE(makeFile(root + "/misc", {"user.empty", ""}));
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
    EXPECT_EQ(result.stats, (ScanStats{.files = 13,
                                       .folders = 5,
                                       .itemsWithStreams = 6,
                                       .streams = 10,
                                       .linksNotFollowed = 3}));
    // host, stream, type, size, head, host attributes
    const std::tuple<std::u16string, std::u16string, std::u16string, std::uint64_t, std::string,
                     std::uint32_t>
        rows[] = {
            {u"setup.exe", u"Zone.Identifier", u"$DATA", kZoneText.size(), kZoneText.substr(0, 16),
             0x20},
            {u"photo.jpg", u"payload", u"$DATA", kPayload.size(), kPayload.substr(0, 16), 0x20},
            {u"misc", u"empty", u"$DATA", 0, "", 0x20},
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
    // However broken its name, a row leads back to the very file and attribute.
    const StreamRecord* broken = result.find(u"bad\xDCFF\u0001\u202E", u"\u001b[2J");
    EXPECT_EQ(fs.deleteStream(hostPathOf(*broken, PathStyle::posix), broken->streamName, u"$DATA"),
              kErrorSuccess);
    EXPECT_EQ(attribute(root + "/bad\xff\x01\u202E", "user.\x1b[2J"), std::nullopt);
}

// A folder swapped for a link to elsewhere between its parent's listing and
// its own is never followed out of the tree: its listing fails and counts.
TEST_F(PosixPort, AFolderSwappedForALinkMidScanIsNotFollowedOutOfTheTree) {
    struct Swapping : PosixFileSystem {
        std::string folder, outside;
        std::uint32_t startListing(const std::u16string& path, DirectoryEntry& first,
                                   std::unique_ptr<DirectoryListing>& listing) override {
            if (encodeName(path) == folder) {
                rename(folder.c_str(), (folder + ".moved").c_str());
                symlink(outside.c_str(), folder.c_str());
            }
            return PosixFileSystem::startListing(path, first, listing);
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
                                       .streams = 2,
                                       .unreadableStreams = 1}));
    const StreamRecord* hidden = result.find(u"hidden.txt", u"");
    const StreamRecord* folderStream = result.find(u"dir", u"folder stream");
    const StreamRecord* huge = result.find(u"big.bin", u"huge");
    ASSERT_TRUE(hidden != nullptr && folderStream != nullptr && huge != nullptr);
    EXPECT_EQ(hidden->hostAttributes, 0x27u);  // hidden, system, read-only, archive
    EXPECT_EQ(headOf(*folderStream), "on a folder");
    EXPECT_EQ(
        std::tuple(huge->unreadable, huge->streamSizeAtLeast, huge->streamSize, huge->headLength),
        std::tuple(true, true, std::uint64_t{65536}, std::uint64_t{0}));
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
                                                      .streams = 1,
                                                      .unreadableStreams = 1}));
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

// A real client writes a stream and marks the file hidden and read-only on a
// share that keeps them Samba's way (streams_xattr, user.DOSATTRIB): the scan
// sees both, and a removal reaches what the client sees.
TEST(SambaShare, StreamsAndAttributesAWindowsClientSetAreScannedAndRemoved) {
    if (geteuid() != 0 || access("/usr/sbin/smbd", X_OK) != 0)
        GTEST_SKIP() << "needs root and smbd (Debian samba, smbclient)";
    TempFolder folder("samba");
    const std::string share = folder.at("share");
    const int port = freePort();
    const std::string state = folder.at("state");
    const std::string config =
        "[global]\n smb ports = " + std::to_string(port) +
        "\n interfaces = 127.0.0.1\n bind interfaces only = yes\n map to guest = Bad User\n"
        " load printers = no\n disable spoolss = yes\n lock directory = " +
        state + "\n state directory = " + state + "\n cache directory = " + state +
        "\n pid directory = " + state + "\n private dir = " + state + "\n ncalrpc dir = " + state +
        "\n log file = " + state + "/log\n[share]\n path = " + share +
        "\n guest ok = yes\n read only = no\n force user = root\n vfs objects = streams_xattr\n";
    ASSERT_TRUE(makeFolder(share, 0777) && makeFolder(state));
    ASSERT_TRUE(writeFile(folder.at("smb.conf"), config));
    Daemon smbd;
    std::string error;
    ASSERT_TRUE(smbd.start(
        {"smbd", "-s", folder.at("smb.conf"), "-F", "--no-process-group"}, folder.at("smbd.out"),
        [&] { return acceptsConnections(port); }, error))
        << error;
    const auto client = [&](const std::string& commands) {
        return runCommand({"smbclient", "//127.0.0.1/share", "-p", std::to_string(port), "-N", "-m",
                           "SMB3", "-c", commands},
                          {.limit = std::chrono::seconds(60)});
    };
    ASSERT_TRUE(writeFile(folder.at("setup.exe"), "MZ") && writeFile(folder.at("zone"), kZoneText));
    const CommandResult wrote = client("lcd " + folder.path() +
                                       "; put setup.exe; put zone setup.exe:Zone.Identifier;"
                                       " put setup.exe plain.exe; setmode setup.exe +hr");
    ASSERT_EQ(wrote.exitCode, 0) << wrote.output();

    PosixFileSystem fs;
    const ScanResult result = scanTree(fs, {share}, {.showItemsWithoutStreams = true});
    EXPECT_EQ(result.stats,
              (ScanStats{.files = 2, .folders = 1, .itemsWithStreams = 1, .streams = 1}));
    const StreamRecord* row = result.find(u"setup.exe", u"Zone.Identifier");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->streamSize, kZoneText.size());  // Samba's trailing zero is not content
    EXPECT_EQ(row->hostAttributes & 0x3u, 0x3u);   // hidden and read-only
    EXPECT_EQ(result.find(u"plain.exe", u"")->hostAttributes & 0x3u, 0u);

    EXPECT_EQ(RemoveStreams({{decodeName(share + "/setup.exe"), u"Zone.Identifier", u"$DATA"}}, fs)
                  .removedCount,
              1u);
    const CommandResult info = client("allinfo setup.exe");
    EXPECT_NE(info.out.find("stream: [::$DATA]"), std::string::npos) << info.output();
    EXPECT_EQ(info.out.find("Zone.Identifier"), std::string::npos) << info.output();
}

}  // namespace
}  // namespace streamscan
