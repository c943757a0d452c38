// Whole scans through the Linux port on real file systems: a local folder, an
// NTFS volume through ntfs-3g, a FAT volume through fusefat, and a folder refused
// to an unprivileged user. What a user would see: the rows and the counters.
#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine/assessment.h"
#include "engine/path_forms.h"
#include "engine/posix/posix_file_system.h"
#include "engine/removal.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "support/places.h"
#include "support/real_volumes.h"

namespace streamscan {
namespace {

using realfs::MountedVolume;
using realfs::TempFolder;
using realfs::VolumeKind;

struct ScanResult {
    ScanStats stats;
    std::vector<StreamRecord> records;
    PlaceLog places;

    // The row of one stream of one host, by the host's leaf name.
    const StreamRecord* find(const std::u16string& hostName,
                             const std::u16string& streamName) const {
        for (const StreamRecord& record : records) {
            if (record.hostName == hostName && record.streamName == streamName) {
                return &record;
            }
        }
        return nullptr;
    }
};

ScanResult scan(FileSystem& fs, const std::string& root, ScanOptions options = {}) {
    ScanResult result;
    result.stats = scanRoots(
        {decodeName(root)}, options,
        [&](const StreamRecord& record) { result.records.push_back(record); }, {}, {}, fs,
        result.places.sink());
    expectPlacesAddUp(result.stats, result.places.places);
    return result;
}

std::string headOf(const StreamRecord& record) {
    return std::string(reinterpret_cast<const char*>(record.head.data()),
                       static_cast<std::size_t>(record.headLength));
}

const std::string kZoneText =
    "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://referrer.test/\r\n"
    "HostUrl=https://host.test/setup.exe\r\n";
const std::string kPayload = std::string("MZ\x90\0\x03\0\0\0\x04\0\0\0\xff\xff\0\0\xb8", 17);

// ---- a local folder ----

TEST(PosixScan, LocalTreeGivesEveryStreamRowAndHonestCounters) {
    TempFolder folder("scan");
    ASSERT_TRUE(folder.valid());
    if (!realfs::userAttributesWork(folder.path())) {
        GTEST_SKIP() << folder.path() << " does not take user. attributes";
    }
    const std::string root = folder.at("root");
    const std::string brokenName = "caf\xe9 \x01.txt";  // Latin-1 and a control character
    ASSERT_TRUE(realfs::makeFolder(root));
    ASSERT_TRUE(realfs::writeFile(root + "/setup.exe", "MZ"));
    ASSERT_TRUE(realfs::setAttribute(root + "/setup.exe", "user.Zone.Identifier", kZoneText));
    ASSERT_TRUE(realfs::writeFile(root + "/" + brokenName, "abc"));
    ASSERT_TRUE(realfs::setAttribute(root + "/" + brokenName, "user.note\x1b[0m", "hello"));
    ASSERT_TRUE(realfs::writeFile(root + "/photo.jpg", "jpeg"));
    ASSERT_TRUE(
        realfs::setAttribute(root + "/photo.jpg", "user.DosStream.payload:$DATA", kPayload + '\0'));
    ASSERT_TRUE(realfs::setAttribute(root + "/photo.jpg", "user.DOSATTRIB", "0x20"));
    ASSERT_TRUE(realfs::writeFile(root + "/plain.txt", "no streams"));
    ASSERT_TRUE(realfs::setAttribute(root + "/plain.txt", "user.DOSATTRIB", "0x20"));
    ASSERT_TRUE(realfs::makeFolder(root + "/sub"));
    ASSERT_TRUE(realfs::setAttribute(root + "/sub", "user.folder.info", "F"));
    ASSERT_TRUE(realfs::writeFile(root + "/sub/deep.txt", ""));
    ASSERT_TRUE(realfs::setAttribute(root + "/sub/deep.txt", "user.Zone.Identifier", ""));
    ASSERT_TRUE(realfs::makeSymlink("sub", root + "/link-to-sub"));
    // Followed, it would show setup.exe's stream a second time.
    ASSERT_TRUE(realfs::makeSymlink("setup.exe", root + "/link-to-file"));

    PosixFileSystem fs;
    const ScanResult result = scan(fs, root);
    const ScanStats& stats = result.stats;
    EXPECT_EQ(stats.files, 6u);    // four in root, deep.txt, the link to a file
    EXPECT_EQ(stats.folders, 3u);  // root, sub, the link to a folder
    EXPECT_EQ(stats.linksNotFollowed, 1u);
    EXPECT_EQ(stats.streams, 5u);
    EXPECT_EQ(stats.itemsWithStreams, 5u);
    EXPECT_EQ(stats.accessDenied, 0u);
    EXPECT_EQ(stats.listFailed, 0u);
    EXPECT_EQ(stats.unreadableStreams, 0u);
    EXPECT_EQ(stats.volumesWithoutStreams, 0u);
    EXPECT_FALSE(stats.cancelled);
    ASSERT_EQ(result.records.size(), 5u);

    const StreamRecord* zone = result.find(u"setup.exe", u"Zone.Identifier");
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(zone->hostFolder, decodeName(root));
    EXPECT_EQ(zone->streamType, u"$DATA");
    EXPECT_EQ(zone->streamSize, kZoneText.size());
    EXPECT_TRUE(zone->zone.isZoneIdentifier);
    EXPECT_EQ(zone->zone.zone, 3u);
    EXPECT_EQ(zone->zone.hostUrl, u"https://host.test/setup.exe");
    EXPECT_EQ(zone->zone.referrerUrl, u"https://referrer.test/");
    EXPECT_EQ(zone->hostAttributes, kAttributeArchive);
    EXPECT_EQ(zone->hostSize, 2u);

    // Samba's form: its trailing zero byte is neither size nor content.
    const StreamRecord* payload = result.find(u"photo.jpg", u"payload");
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(payload->streamSize, kPayload.size());
    EXPECT_EQ(headOf(*payload), kPayload.substr(0, 16));
    EXPECT_EQ(payload->severity, kSeverityAlert);
    EXPECT_EQ(result.find(u"photo.jpg", u"DOSATTRIB"), nullptr);

    // A name that is not UTF-8 is kept losslessly and reaches the same file.
    const StreamRecord* broken = result.find(decodeName(brokenName), u"note\x1b[0m");
    ASSERT_NE(broken, nullptr);
    EXPECT_EQ(headOf(*broken), "hello");
    EXPECT_EQ(encodeName(hostPathOf(*broken, PathStyle::posix)), root + "/" + brokenName);
    EXPECT_EQ(fs.deleteStream(hostPathOf(*broken, PathStyle::posix), broken->streamName,
                              broken->streamType),
              kErrorSuccess);
    EXPECT_FALSE(realfs::hasAttribute(root + "/" + brokenName, "user.note\x1b[0m"));

    const StreamRecord* folderStream = result.find(u"sub", u"folder.info");
    ASSERT_NE(folderStream, nullptr);
    EXPECT_TRUE(folderStream->hostIsFolder);
    EXPECT_EQ(folderStream->hostAttributes, kAttributeDirectory);
    EXPECT_EQ(folderStream->hostSize, 0u);

    const StreamRecord* empty = result.find(u"deep.txt", u"Zone.Identifier");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->hostFolder, decodeName(root + "/sub"));
    EXPECT_TRUE(empty->zone.isZoneIdentifier);
    EXPECT_FALSE(empty->unreadable);
}

TEST(PosixScan, ItemRowsAndAFileRoot) {
    TempFolder folder("items");
    ASSERT_TRUE(folder.valid());
    const std::string file = folder.at(".profile");
    ASSERT_TRUE(realfs::writeFile(file, "12345"));
    PosixFileSystem fs;
    ScanOptions options;
    options.showItemsWithoutStreams = true;
    const ScanResult result = scan(fs, file, options);
    EXPECT_EQ(result.stats.files, 1u);
    EXPECT_EQ(result.stats.folders, 0u);
    ASSERT_EQ(result.records.size(), 1u);
    EXPECT_EQ(result.records[0].hostName, u".profile");
    EXPECT_TRUE(result.records[0].streamName.empty());
    EXPECT_EQ(result.records[0].hostAttributes, kAttributeArchive | kAttributeHidden);
    EXPECT_EQ(result.records[0].hostSize, 5u);

    const ScanResult missing = scan(fs, folder.at("missing"));
    EXPECT_EQ(missing.stats.listFailed, 1u);
    EXPECT_TRUE(missing.records.empty());
}

// Both forms of one name on one file are two streams: each row shows the very
// attribute it was listed from, and a removal of the name takes both.
TEST(PosixScan, BothFormsOfOneNameAreTwoRowsAndOneRemovalTakesBoth) {
    TempFolder folder("forms");
    ASSERT_TRUE(folder.valid());
    if (!realfs::userAttributesWork(folder.path())) {
        GTEST_SKIP() << folder.path() << " does not take user. attributes";
    }
    const std::string file = folder.at("f.txt");
    ASSERT_TRUE(realfs::writeFile(file, "f"));
    ASSERT_TRUE(realfs::setAttribute(file, "user.foo", "plain form"));
    ASSERT_TRUE(realfs::setAttribute(file, "user.DosStream.foo:$DATA", std::string("samba\0", 6)));
    PosixFileSystem fs;
    const ScanResult result = scan(fs, file);
    std::vector<std::pair<std::string, std::uint64_t>> rows;
    for (const StreamRecord& record : result.records) {
        EXPECT_EQ(record.streamName, u"foo");
        rows.emplace_back(headOf(record), record.streamSize);
    }
    std::sort(rows.begin(), rows.end());
    const std::vector<std::pair<std::string, std::uint64_t>> expected = {{"plain form", 10},
                                                                         {"samba", 5}};
    EXPECT_EQ(rows, expected);

    const RemovalResult removed = RemoveStreams({{decodeName(file), u"foo", u"$DATA"}}, fs);
    EXPECT_EQ(removed.removedCount, 1u);
    EXPECT_FALSE(realfs::hasAttribute(file, "user.foo"));
    EXPECT_FALSE(realfs::hasAttribute(file, "user.DosStream.foo:$DATA"));
}

// ---- a folder refused to an unprivileged user ----

// Scans `root` in a child process that has dropped to `nobody` (root is never
// refused anything), and hands back its counters and row count.
bool scanAsNobody(const std::string& root, ScanStats& stats, std::uint64_t& rows,
                  std::string& error) {
    std::string bytes;
    const bool finished = realfs::runAsNobody(
        [&] {
            PosixFileSystem fs;
            std::uint64_t count = 0;
            const ScanStats result = scanRoots(
                {decodeName(root)}, ScanOptions{}, [&](const StreamRecord&) { ++count; }, {}, {},
                fs);
            return std::string(reinterpret_cast<const char*>(&result), sizeof result) +
                   std::string(reinterpret_cast<const char*>(&count), sizeof count);
        },
        bytes, error);
    if (!finished || bytes.size() != sizeof stats + sizeof rows) {
        error += " (no counters came back)";
        return false;
    }
    std::memcpy(&stats, bytes.data(), sizeof stats);
    std::memcpy(&rows, bytes.data() + sizeof stats, sizeof rows);
    return true;
}

TEST(PosixScan, FolderAndStreamsRefusedToAnUnprivilegedUserCountAsDenied) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to drop to nobody and to make what nobody is refused";
    }
    TempFolder folder("denied");
    ASSERT_TRUE(folder.valid());
    if (!realfs::userAttributesWork(folder.path())) {
        GTEST_SKIP() << folder.path() << " does not take user. attributes";
    }
    const std::string root = folder.at("root");
    ASSERT_TRUE(realfs::makeFolder(root));
    ASSERT_TRUE(realfs::makeFolder(root + "/open"));
    ASSERT_TRUE(realfs::writeFile(root + "/open/ok.txt", "x"));
    ASSERT_TRUE(realfs::setAttribute(root + "/open/ok.txt", "user.Zone.Identifier", kZoneText));
    ASSERT_TRUE(realfs::makeFolder(root + "/locked", 0700));
    ASSERT_TRUE(realfs::writeFile(root + "/locked/inside.txt", "x"));
    ASSERT_TRUE(realfs::setAttribute(root + "/locked/inside.txt", "user.s", "hidden from view"));
    // Its streams can be named but not measured or read by nobody.
    ASSERT_TRUE(realfs::writeFile(root + "/secret.txt", "x"));
    ASSERT_TRUE(realfs::setAttribute(root + "/secret.txt", "user.s", "secret"));
    ASSERT_EQ(chmod((root + "/secret.txt").c_str(), 0600), 0);

    ScanStats stats;
    std::uint64_t rows = 0;
    std::string error;
    ASSERT_TRUE(scanAsNobody(root, stats, rows, error)) << error;
    EXPECT_EQ(stats.accessDenied, 2u);  // the locked folder, secret.txt's streams
    EXPECT_EQ(stats.listFailed, 0u);
    EXPECT_EQ(stats.folders, 3u);
    EXPECT_EQ(stats.files, 2u);
    EXPECT_EQ(stats.streams, 1u);
    EXPECT_EQ(rows, 1u);

    // The same tree as root: nothing refused, so the difference is the refusal.
    PosixFileSystem fs;
    const ScanResult asRoot = scan(fs, root);
    EXPECT_EQ(asRoot.stats.accessDenied, 0u);
    EXPECT_EQ(asRoot.stats.streams, 3u);
}

TEST(PosixScan, EveryPlaceNotExaminedIsNamedWhereItHappened) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to drop to nobody and to make what nobody is refused";
    }
    TempFolder folder("places");
    ASSERT_TRUE(folder.valid());
    const std::string root = folder.at("root");
    ASSERT_TRUE(realfs::makeFolder(root));
    ASSERT_TRUE(realfs::makeFolder(root + "/locked", 0700));
    ASSERT_TRUE(realfs::makeFolder(root + "/open"));
    ASSERT_TRUE(realfs::makeSymlink("../open", root + "/open/up"));
    const std::string missing = folder.at("missing");

    // Nobody is refused the locked folder; the missing root and the link are the
    // same for anyone.
    std::string named;
    std::string error;
    ASSERT_TRUE(realfs::runAsNobody(
        [&] {
            PosixFileSystem fs;
            PlaceLog log;
            const ScanStats stats = scanRoots({decodeName(root), decodeName(missing)},
                                              ScanOptions{}, {}, {}, {}, fs, log.sink());
            std::vector<std::string> lines = log.lines();
            std::sort(lines.begin(), lines.end());  // listing order is the file system's
            lines.push_back(
                std::to_string(stats.accessDenied + stats.listFailed + stats.linksNotFollowed));
            std::string text;
            for (const std::string& line : lines) {
                text += line + "\n";
            }
            return text;
        },
        named, error))
        << error;
    EXPECT_EQ(named, "denied|" + root + "/locked|5\nfailed|" + missing + "|2\nlink|" + root +
                         "/open/up|0\n3\n");

    // A stop names the folder where it took effect: here the root, before its listing.
    PosixFileSystem fs;
    PlaceLog log;
    int polls = 0;
    const ScanStats stopped = scanRoots(
        {decodeName(root)}, ScanOptions{}, {}, [&] { return ++polls < 2; }, {}, fs, log.sink());
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"cancelled|" + root + "|0"});
}

// ---- real NTFS and FAT volumes ----

// An NTFS image under the build folder, mounted by ntfs-3g at a mount point
// whose name needs the mount table's escapes. Made once for the suite.
class NtfsVolumeTest : public ::testing::Test {
  protected:
    static constexpr std::uint32_t kHiddenSystemReadOnly = 0x27;
    static constexpr std::size_t kLargeStreamSize = 70000;

    static void SetUpTestSuite() {
        skipReason = realfs::volumeUnavailableReason(VolumeKind::ntfs);
        if (!skipReason.empty()) {
            return;
        }
        folder = std::make_unique<TempFolder>("ntfs");
        volume = std::make_unique<MountedVolume>();
        setupError = populate();
    }

    static void TearDownTestSuite() {
        volume.reset();  // unmounted before its folder goes
        folder.reset();
    }

    void SetUp() override {
        if (!skipReason.empty()) {
            GTEST_SKIP() << skipReason;
        }
        ASSERT_EQ(setupError, "");
    }

    static std::string populate() {
        const std::string image = folder->at("volume.img");
        const std::string point = folder->at("ntfs mount\tpoint");
        std::string error;
        if (!realfs::makeVolumeImage(VolumeKind::ntfs, image, 16, error)) {
            return error;
        }
        // A stream too large for the attribute interface is written as file:stream.
        if (!volume->mount(VolumeKind::ntfs, image, point, "streams_interface=windows", error)) {
            return error;
        }
        if (!realfs::writeFile(volume->at("big.bin"), "big") ||
            !realfs::writeFile(volume->at("big.bin:huge"), std::string(kLargeStreamSize, 'h'))) {
            return "writing big.bin:huge failed";
        }
        if (!volume->unmount(&error)) {
            return error;
        }
        if (!volume->mount(VolumeKind::ntfs, image, point, "", error)) {
            return error;
        }
        const std::string ntfsAttributes("\x27\0\0\0", 4);
        const bool made =
            realfs::writeFile(volume->at("download.exe"), "MZ") &&
            realfs::setAttribute(volume->at("download.exe"), "user.Zone.Identifier", kZoneText) &&
            realfs::makeFolder(volume->at("dir")) &&
            realfs::setAttribute(volume->at("dir"), "user.folder stream", "on a folder") &&
            realfs::writeFile(volume->at("dir/holiday.jpg"), "jpeg") &&
            realfs::setAttribute(volume->at("dir/holiday.jpg"), "user.payload", kPayload) &&
            realfs::writeFile(volume->at("hidden.txt"), "h") &&
            realfs::setAttribute(volume->at("hidden.txt"), "system.ntfs_attrib", ntfsAttributes);
        return made ? "" : "populating the NTFS volume failed";
    }

    inline static std::string skipReason;
    inline static std::string setupError;
    inline static std::unique_ptr<TempFolder> folder;
    inline static std::unique_ptr<MountedVolume> volume;
};

TEST_F(NtfsVolumeTest, PortSeesNtfsStreamsAttributesAndTheVolume) {
    PosixFileSystem fs;
    const VolumeInfo info = fs.queryVolume(decodeName(volume->at("dir")));
    EXPECT_TRUE(info.known);
    EXPECT_TRUE(info.namedStreams);
    // An image file is mounted as plain fuse; a block device would be fuseblk.
    EXPECT_EQ(info.fileSystemName, u"fuse");

    ItemFacts facts;
    ASSERT_EQ(fs.itemFacts(decodeName(volume->at("hidden.txt")), facts), kErrorSuccess);
    EXPECT_EQ(facts.attributes, kHiddenSystemReadOnly);
    ASSERT_EQ(fs.itemFacts(decodeName(volume->at("dir")), facts), kErrorSuccess);
    EXPECT_EQ(facts.attributes & kAttributeDirectory, kAttributeDirectory);
    EXPECT_EQ(facts.size, 0u);

    // Listed (ntfs-3g gives 65536 for it), but the kernel will not hand it over.
    StreamEntry entry;
    std::unique_ptr<StreamListing> listing;
    ASSERT_EQ(fs.startStreams(decodeName(volume->at("big.bin")), entry, listing), kErrorSuccess);
    EXPECT_EQ(entry.name, u":huge:$DATA");
    EXPECT_EQ(entry.size, 65536u);
    EXPECT_TRUE(entry.sizeIsLowerBound);
    std::unique_ptr<StreamReader> reader;
    EXPECT_NE(fs.openStream(decodeName(volume->at("big.bin")), u"huge", u"$DATA", false, reader),
              kErrorSuccess);
}

TEST_F(NtfsVolumeTest, ScanListsStreamsOnFilesAndFoldersAndMarksTheLargeOneUnreadable) {
    PosixFileSystem fs;
    const ScanResult result = scan(fs, volume->mountPoint());
    const ScanStats& stats = result.stats;
    EXPECT_EQ(stats.volumesWithoutStreams, 0u);
    EXPECT_EQ(stats.files, 4u);    // download.exe, holiday.jpg, hidden.txt, big.bin
    EXPECT_EQ(stats.folders, 2u);  // the volume's root and dir
    EXPECT_EQ(stats.streams, 4u);
    EXPECT_EQ(stats.itemsWithStreams, 4u);
    EXPECT_EQ(stats.unreadableStreams, 1u);
    EXPECT_EQ(stats.accessDenied, 0u);
    EXPECT_EQ(stats.listFailed, 0u);

    const StreamRecord* zone = result.find(u"download.exe", u"Zone.Identifier");
    ASSERT_NE(zone, nullptr);
    EXPECT_EQ(zone->zone.zone, 3u);
    EXPECT_EQ(zone->zone.hostUrl, u"https://host.test/setup.exe");
    const StreamRecord* folderStream = result.find(u"dir", u"folder stream");
    ASSERT_NE(folderStream, nullptr);
    EXPECT_TRUE(folderStream->hostIsFolder);
    EXPECT_EQ(headOf(*folderStream), "on a folder");
    const StreamRecord* payload = result.find(u"holiday.jpg", u"payload");
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(headOf(*payload), kPayload.substr(0, 16));
    EXPECT_EQ(payload->severity, kSeverityAlert);
    const StreamRecord* huge = result.find(u"big.bin", u"huge");
    ASSERT_NE(huge, nullptr);
    EXPECT_TRUE(huge->unreadable);
    EXPECT_EQ(huge->headLength, 0u);
    // All the interface shows of it: the row says "at least", never a false size.
    EXPECT_EQ(huge->streamSize, 65536u);
    EXPECT_TRUE(huge->streamSizeAtLeast);
}

// ramfs, like a kernel FAT, exFAT or ISO 9660 volume, lists an empty set of
// attributes and refuses only user. names; fusefat refuses the listing too.
// Mounted at `point` by the test; unmounted when it ends.
class VolumeWithoutStreams {
  public:
    VolumeWithoutStreams(const std::string& kind, TempFolder& folder, const std::string& point)
        : point(point) {
        if (kind == "ramfs") {
            if (geteuid() != 0) {
                error = "needs root to mount ramfs";
            } else if ((access(point.c_str(), F_OK) != 0 && !realfs::makeFolder(point)) ||
                       ::mount("ramfs", point.c_str(), "ramfs", 0, nullptr) != 0) {
                error = "mount -t ramfs failed: " + std::string(std::strerror(errno));
            } else {
                ramfs = true;
            }
            return;
        }
        error = realfs::volumeUnavailableReason(VolumeKind::fat);
        const std::string image = folder.at(kind + ".img");
        if (error.empty() && realfs::makeVolumeImage(VolumeKind::fat, image, 8, error))
            fusefat.mount(VolumeKind::fat, image, point, "", error);
    }
    ~VolumeWithoutStreams() {
        if (ramfs)
            ::umount2(point.c_str(), MNT_DETACH);
    }
    VolumeWithoutStreams(const VolumeWithoutStreams&) = delete;
    VolumeWithoutStreams& operator=(const VolumeWithoutStreams&) = delete;

    std::string error;

  private:
    std::string point;
    bool ramfs = false;
    MountedVolume fusefat;
};

// Nothing on such a volume is examined, and that is counted, whether it is a
// root or is met below one (a stick under /media): never a clean result.
TEST(VolumesWithoutStreams, AreCountedAsRootsAndBelowARootAndNeverEntered) {
    struct Case {
        const char* kind;
        const char* type;
        bool belowRoot;
    };
    const Case cases[] = {
        {"ramfs", "ramfs", false},
        {"ramfs", "ramfs", true},
        {"fusefat", "fuse.fusefat", false},
        {"fusefat", "fuse.fusefat", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + (c.belowRoot ? " below a root" : " as a root"));
        TempFolder folder("nostreams");
        ASSERT_TRUE(folder.valid());
        const std::string root = folder.at("root");
        ASSERT_TRUE(realfs::makeFolder(root));
        const bool local = realfs::userAttributesWork(root);
        if (c.belowRoot && local) {
            ASSERT_TRUE(realfs::writeFile(root + "/local.txt", "x"));
            ASSERT_TRUE(realfs::setAttribute(root + "/local.txt", "user.s", "on local disk"));
        }
        const std::string point = c.belowRoot ? root + "/stick" : root;
        VolumeWithoutStreams volume(c.kind, folder, point);
        if (!volume.error.empty()) {
            GTEST_SKIP() << volume.error;
        }
        ASSERT_TRUE(realfs::writeFile(point + "/file.txt", "x"));
        ASSERT_TRUE(realfs::makeFolder(point + "/dir"));

        PosixFileSystem fs;
        const VolumeInfo info = fs.queryVolume(decodeName(point + "/file.txt"));
        EXPECT_TRUE(info.known);
        EXPECT_FALSE(info.namedStreams);
        EXPECT_EQ(info.fileSystemName, decodeName(c.type));

        ScanOptions options;
        options.showItemsWithoutStreams = true;
        const ScanResult result = scan(fs, root, options);
        EXPECT_EQ(result.stats.volumesWithoutStreams, 1u);
        EXPECT_EQ(result.stats.listFailed, 0u);
        ASSERT_EQ(result.places.places.size(), 1u);
        EXPECT_EQ(result.places.places[0].path, decodeName(point));  // the mount, named where met
        for (const StreamRecord& record : result.records)
            EXPECT_EQ(record.hostFolder.find(decodeName(point + "/")), std::u16string::npos);
        if (!c.belowRoot) {
            EXPECT_EQ(result.stats.files + result.stats.folders, 0u);
            EXPECT_TRUE(result.records.empty());
        } else {
            EXPECT_EQ(result.stats.folders, 1u);  // the root; the mount point is the volume
            EXPECT_EQ(result.stats.streams, local ? 1u : 0u);
        }
    }
}

}  // namespace
}  // namespace streamscan
