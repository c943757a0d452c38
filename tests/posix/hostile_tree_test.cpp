// Whole scans of a tree made to break scanners (support/hostile_tree.h): every
// scan must finish, count each failure where it happened, never follow a link,
// and hand back only paths and streams that lead to the very item on disk.
// Items and streams that vanish during the scan are driven by a port wrapper
// that deletes them on disk right before the call that would meet them.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/path_forms.h"
#include "engine/posix/posix_file_system.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "support/hostile_tree.h"
#include "support/places.h"
#include "support/real_volumes.h"

namespace streamscan {
namespace {

using hostile::HostileTree;
using hostile::Part;
using realfs::TempFolder;

constexpr std::size_t kPathMax = PATH_MAX;  // with its terminating zero

struct ScanResult {
    ScanStats stats;
    std::vector<StreamRecord> records;
    std::uint64_t progressReports = 0;
    PlaceLog places;
};

ScanOptions withItemRows() {
    ScanOptions options;
    options.showItemsWithoutStreams = true;
    return options;
}

ScanResult scan(FileSystem& fs, const std::string& root, const ScanOptions& options) {
    ScanResult result;
    result.stats = scanRoots(
        {decodeName(root)}, options,
        [&](const StreamRecord& record) { result.records.push_back(record); }, {},
        [&](const std::u16string&, const ScanStats&) { ++result.progressReports; }, fs,
        result.places.sink());
    expectPlacesAddUp(result.stats, result.places.places);
    return result;
}

std::string hostBytes(const StreamRecord& record) {
    return encodeName(hostPathOf(record));
}

bool endsWith(std::u16string_view text, std::u16string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The user. attributes that the port may have listed as this stream, in the
// order it tries them (user.NAME, user.NAME:T for a type T:$DATA, Samba's form).
std::vector<std::string> attributesFor(const StreamRecord& record) {
    const std::string name = encodeName(record.streamName);
    const std::u16string& type = record.streamType;
    std::vector<std::string> candidates;
    if (type == u"$DATA") {
        candidates.push_back("user." + name);
    } else if (endsWith(type, u":$DATA")) {
        candidates.push_back("user." + name + ":" +
                             encodeName(std::u16string_view(type).substr(0, type.size() - 6)));
    }
    candidates.push_back("user.DosStream." + name + ":" + encodeName(type));
    return candidates;
}

// Every record names an item that is on disk at exactly that path, reached
// without going through a link; every stream row names an attribute of it whose
// value is what the row says.
void expectRecordsLeadBack(const std::string& root, const std::vector<StreamRecord>& records) {
    for (const StreamRecord& record : records) {
        const std::string host = hostBytes(record);
        struct stat st;
        const bool found =
            host == root ? lstat(host.c_str(), &st) == 0 : hostile::lstatBelow(root, host, st);
        ASSERT_TRUE(found) << "no item at " << utf8ForDisplay(hostPathOf(record));
        EXPECT_EQ(S_ISDIR(st.st_mode), record.hostIsFolder) << utf8ForDisplay(hostPathOf(record));
        if (record.streamName.empty()) {
            continue;
        }
        std::string value;
        std::string attribute;
        const std::vector<std::string> candidates = attributesFor(record);
        for (const std::string& candidate : candidates) {
            if (hostile::attributeBelow(root, host, candidate, value)) {
                attribute = candidate;
                break;
            }
        }
        ASSERT_FALSE(attribute.empty()) << "no attribute for " << utf8ForDisplay(record.streamName)
                                        << " on " << utf8ForDisplay(hostPathOf(record));
        if (attribute == candidates.back() && !value.empty()) {
            value.pop_back();  // Samba's trailing zero byte is not content
        }
        EXPECT_EQ(record.streamSize, value.size()) << attribute;
        EXPECT_FALSE(record.unreadable) << attribute;
        const std::size_t headLength = std::min<std::size_t>(value.size(), 16);
        ASSERT_EQ(record.headLength, headLength) << attribute;
        EXPECT_EQ(std::memcmp(record.head.data(), value.data(), headLength), 0) << attribute;
    }
}

std::uint64_t streamRows(const std::vector<StreamRecord>& records) {
    return static_cast<std::uint64_t>(
        std::count_if(records.begin(), records.end(),
                      [](const StreamRecord& r) { return !r.streamName.empty(); }));
}

class HostileTreeTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder = new TempFolder("hostile");
        if (!folder->valid() || !realfs::userAttributesWork(folder->path())) {
            skipReason = "no local folder that takes user. attributes";
            return;
        }
        tree = new HostileTree();
        std::string error;
        if (!tree->build(folder->path(), error)) {
            buildError = error;
        }
    }
    static void TearDownTestSuite() {
        delete tree;  // first: it can remove what nftw cannot reach
        delete folder;
        tree = nullptr;
        folder = nullptr;
    }
    void SetUp() override {
        if (!skipReason.empty()) {
            GTEST_SKIP() << skipReason;
        }
        ASSERT_TRUE(buildError.empty()) << buildError;
    }

    static TempFolder* folder;
    static HostileTree* tree;
    static std::string skipReason;
    static std::string buildError;
};

TempFolder* HostileTreeTest::folder = nullptr;
HostileTree* HostileTreeTest::tree = nullptr;
std::string HostileTreeTest::skipReason;
std::string HostileTreeTest::buildError;

TEST_F(HostileTreeTest, PartsWithoutLimitsAreScannedWholeAndLeadBackToDisk) {
    struct Case {
        const char* label;
        const Part& part;
    };
    const Case cases[] = {
        {"names", tree->names},     {"long names", tree->longNames},
        {"links", tree->links},     {"locked, as root", tree->locked},
        {"streams", tree->streams},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PosixFileSystem fs;
        const ScanResult result = scan(fs, c.part.path, withItemRows());
        const ScanStats& stats = result.stats;
        EXPECT_FALSE(stats.cancelled);
        EXPECT_EQ(stats.files, c.part.files);
        EXPECT_EQ(stats.folders, c.part.folders + 1);  // the part's own folder
        EXPECT_EQ(stats.streams, c.part.streams);
        EXPECT_EQ(stats.linksNotFollowed, c.part.folderLinks);
        EXPECT_EQ(stats.accessDenied, 0u);  // root is refused nothing
        EXPECT_EQ(stats.listFailed, 0u);
        EXPECT_EQ(stats.unreadableStreams, 0u);
        EXPECT_EQ(streamRows(result.records), c.part.streams);
        // Every file and every folder except the links to folders gives a row.
        EXPECT_GE(result.records.size(), c.part.files + c.part.folders - c.part.folderLinks);
        expectRecordsLeadBack(c.part.path, result.records);
    }
}

TEST_F(HostileTreeTest, LinksAreCountedAndNeverFollowed) {
    PosixFileSystem fs;
    const ScanResult result = scan(fs, tree->links.path, withItemRows());
    // The real folder's file is met once, through the folder and not the links.
    std::vector<std::u16string> innerHosts;
    for (const StreamRecord& record : result.records) {
        if (record.hostName == u"inner.txt" && !record.streamName.empty()) {
            innerHosts.push_back(hostPathOf(record));
        }
    }
    ASSERT_EQ(innerHosts.size(), 1u);
    EXPECT_EQ(innerHosts[0], decodeName(tree->links.path + "/sub/inner.txt"));
    // A link to a file is an item of its own with the reparse-point attribute,
    // and the target's stream is not shown as the link's.
    for (const StreamRecord& record : result.records) {
        if (record.hostName == u"to-file" || record.hostName == u"self" ||
            record.hostName == u"ping" || record.hostName == u"dangling") {
            EXPECT_TRUE(record.streamName.empty()) << utf8ForDisplay(record.hostName);
            EXPECT_EQ(record.hostAttributes & kAttributeReparsePoint, kAttributeReparsePoint);
        }
    }
}

TEST_F(HostileTreeTest, FoldersBeyondTheDepthLimitCountAsFailedAndShowNothing) {
    PosixFileSystem fs;
    const ScanResult result = scan(fs, tree->deep.path, ScanOptions{});
    const ScanStats& stats = result.stats;
    ASSERT_GT(HostileTree::kDeepLevels, kMaxDepth);
    // Listed: the part's folder and the folders down to kMaxDepth - 1 below it;
    // the folder at kMaxDepth is met in its parent's listing but not listed.
    EXPECT_EQ(stats.folders, static_cast<std::uint64_t>(kMaxDepth) + 1);
    EXPECT_EQ(stats.files, static_cast<std::uint64_t>(kMaxDepth));
    EXPECT_EQ(stats.streams, static_cast<std::uint64_t>(kMaxDepth));
    EXPECT_EQ(stats.listFailed, 1u);
    EXPECT_EQ(stats.accessDenied, 0u);
    EXPECT_EQ(result.progressReports, static_cast<std::uint64_t>(kMaxDepth) + 1);
    std::size_t deepest = 0;
    for (const StreamRecord& record : result.records) {
        const std::u16string host = hostPathOf(record);
        deepest = std::max<std::size_t>(deepest, std::count(host.begin(), host.end(), u'/'));
    }
    const std::string& top = tree->deep.path;
    EXPECT_EQ(deepest, static_cast<std::size_t>(std::count(top.begin(), top.end(), '/')) +
                           kMaxDepth);  // f in the last folder listed
    expectRecordsLeadBack(top, result.records);
}

TEST_F(HostileTreeTest, PathsPastPathMaxAreCountedNotLost) {
    PosixFileSystem fs;
    const ScanResult result = scan(fs, tree->longPath.path, ScanOptions{});
    const ScanStats& stats = result.stats;
    const std::vector<std::string> folders = hostile::longPathFolders(*tree);
    ASSERT_GT(folders.back().size(), 4096u);

    // What the walk can reach: a folder is opened below its parent, which is
    // found again by its path, so one whose parent's path fits can be listed;
    // its items' streams are read through its descriptor where the kernel has
    // the calls for that, else only when their own path fits.
    errno = 0;
    const bool throughFolder = syscall(465, AT_FDCWD, ".", 0, nullptr, 0) >= 0 || errno != ENOSYS;
    std::uint64_t listable = 1;  // the part's folder
    std::uint64_t filesMet = 1;  // its f
    std::uint64_t readableFiles = 1;
    std::uint64_t foldersMet = 1;
    std::string parent = tree->longPath.path;
    for (const std::string& path : folders) {
        ++foldersMet;
        if (parent.size() >= kPathMax) {
            break;
        }
        ++listable;
        ++filesMet;
        readableFiles += throughFolder || (path + "/f").size() < kPathMax ? 1 : 0;
        parent = path;
    }
    ASSERT_LT(listable, folders.size() + 1) << "the tree must reach past the limit";
    EXPECT_EQ(stats.folders, foldersMet);  // the first folder that cannot be listed included
    EXPECT_EQ(stats.files, filesMet);
    EXPECT_EQ(stats.streams, readableFiles);
    // Each file whose streams could not be listed, and the folder that could not
    // be, counts as failed: the scan never looks complete.
    const std::uint64_t unexamined = (filesMet - readableFiles) + 1;
    EXPECT_GE(stats.listFailed, unexamined);
    EXPECT_LE(stats.listFailed, unexamined + 1);  // at most its own streams as well
    EXPECT_EQ(stats.accessDenied, 0u);
    EXPECT_EQ(stats.unreadableStreams, 0u);
    expectRecordsLeadBack(tree->longPath.path, result.records);
}

TEST_F(HostileTreeTest, WholeTreeCountsAddUpToItsParts) {
    PosixFileSystem fs;
    const ScanResult whole = scan(fs, tree->root(), ScanOptions{});
    ScanStats sum;
    for (const Part* part : {&tree->names, &tree->longNames, &tree->longPath, &tree->deep,
                             &tree->links, &tree->locked, &tree->streams}) {
        const ScanStats stats = scan(fs, part->path, ScanOptions{}).stats;
        sum.files += stats.files;
        sum.folders += stats.folders;
        sum.streams += stats.streams;
        sum.itemsWithStreams += stats.itemsWithStreams;
        sum.listFailed += stats.listFailed;
        sum.accessDenied += stats.accessDenied;
        sum.linksNotFollowed += stats.linksNotFollowed;
    }
    // One level lower, the depth limit stops one folder earlier in the deep part:
    // one folder, its f and that f's stream fewer.
    EXPECT_EQ(whole.stats.files, sum.files - 1);
    EXPECT_EQ(whole.stats.folders, sum.folders + 1 - 1);  // plus the tree's own folder
    EXPECT_EQ(whole.stats.streams, sum.streams - 1);
    EXPECT_EQ(whole.stats.itemsWithStreams, sum.itemsWithStreams - 1);
    EXPECT_EQ(whole.stats.listFailed, sum.listFailed);
    EXPECT_EQ(whole.stats.accessDenied, sum.accessDenied);
    EXPECT_EQ(whole.stats.linksNotFollowed, sum.linksNotFollowed);
    EXPECT_EQ(whole.stats.linksNotFollowed, tree->links.folderLinks);
    EXPECT_FALSE(whole.stats.cancelled);
    expectRecordsLeadBack(tree->root(), whole.records);
}

// ---- refused to an unprivileged user ----

// Scans `root` in a child process dropped to `nobody` (root is never refused)
// and hands back its counters.
bool scanAsNobody(const std::string& root, ScanStats& stats, std::string& error) {
    std::string bytes;
    const bool finished = realfs::runAsNobody(
        [&] {
            PosixFileSystem fs;
            const ScanStats result = scanRoots({decodeName(root)}, ScanOptions{}, {}, {}, {}, fs);
            return std::string(reinterpret_cast<const char*>(&result), sizeof result);
        },
        bytes, error);
    if (!finished || bytes.size() != sizeof stats) {
        error += " (no counters came back)";
        return false;
    }
    std::memcpy(&stats, bytes.data(), sizeof stats);
    return true;
}

TEST_F(HostileTreeTest, EverythingRefusedToNobodyIsCountedAsDenied) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to drop to nobody and to make what nobody is refused";
    }
    ScanStats stats;
    std::string error;
    ASSERT_TRUE(scanAsNobody(tree->locked.path, stats, error)) << error;
    // no-read.txt's stream; no-access's own stream and its listing; the listings
    // of search-only (no read) and names-only (names, but no search).
    EXPECT_EQ(stats.accessDenied, 5u);
    EXPECT_EQ(stats.listFailed, 0u);
    EXPECT_EQ(stats.files, 1u);    // only no-read.txt is met
    EXPECT_EQ(stats.folders, 4u);  // locked and its three folders
    EXPECT_EQ(stats.streams, 0u);
    EXPECT_FALSE(stats.cancelled);
}

// ---- items that vanish during the scan ----

// Forwards every call to the Linux port, but first deletes on disk what the
// test names, at the very call that would meet it.
class VanishingFileSystem : public FileSystem {
  public:
    std::string folderToRemove;  // removed right before its listing starts
    std::string folderToSwap;    // replaced by a link to swapTarget right before its listing
    std::string swapTarget;
    std::string fileToRemove;  // removed right before its streams are listed
    std::string streamHost;    // this attribute is removed right before it is opened
    std::string streamAttribute;

    PathStyle pathStyle() const override { return inner.pathStyle(); }
    std::u16string fullPath(const std::u16string& path) override { return inner.fullPath(path); }
    VolumeInfo queryVolume(const std::u16string& path) override { return inner.queryVolume(path); }
    std::uint32_t itemFacts(const std::u16string& path, ItemFacts& facts) override {
        return inner.itemFacts(path, facts);
    }
    std::uint32_t plainAttributes(const std::u16string& path, std::uint32_t& attributes) override {
        return inner.plainAttributes(path, attributes);
    }
    std::uint32_t startListing(const std::u16string& folder, DirectoryEntry& first,
                               std::unique_ptr<DirectoryListing>& listing) override {
        if (!folderToRemove.empty() && encodeName(folder) == folderToRemove) {
            EXPECT_TRUE(hostile::removeTree(folderToRemove));
        }
        if (!folderToSwap.empty() && encodeName(folder) == folderToSwap) {
            EXPECT_EQ(rename(folderToSwap.c_str(), (folderToSwap + ".moved").c_str()), 0);
            EXPECT_TRUE(realfs::makeSymlink(swapTarget, folderToSwap));
        }
        return inner.startListing(folder, first, listing);
    }
    std::uint32_t startStreams(const std::u16string& hostPath, StreamEntry& first,
                               std::unique_ptr<StreamListing>& listing) override {
        if (!fileToRemove.empty() && encodeName(hostPath) == fileToRemove) {
            EXPECT_EQ(unlink(fileToRemove.c_str()), 0);
        }
        if (!streamHost.empty() && encodeName(hostPath) == streamHost) {
            EXPECT_EQ(lremovexattr(streamHost.c_str(), streamAttribute.c_str()), 0);
        }
        return inner.startStreams(hostPath, first, listing);
    }
    std::uint32_t openStream(const std::u16string& hostPath, const std::u16string& name,
                             const std::u16string& type, bool hostIsFolder,
                             std::unique_ptr<StreamReader>& reader) override {
        return inner.openStream(hostPath, name, type, hostIsFolder, reader);
    }
    std::uint32_t deleteStream(const std::u16string& hostPath, const std::u16string& name,
                               const std::u16string& type) override {
        return inner.deleteStream(hostPath, name, type);
    }
    std::uint32_t createFile(const std::u16string& path,
                             std::unique_ptr<FileWriter>& writer) override {
        return inner.createFile(path, writer);
    }
    std::uint32_t deleteFile(const std::u16string& path) override { return inner.deleteFile(path); }

  private:
    PosixFileSystem inner;
};

class VanishingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.valid());
        if (!realfs::userAttributesWork(folder.path())) {
            GTEST_SKIP() << folder.path() << " does not take user. attributes";
        }
        root = folder.at("root");
        ASSERT_TRUE(realfs::makeFolder(root));
        ASSERT_TRUE(realfs::writeFile(root + "/a.txt", "a"));
        ASSERT_TRUE(realfs::setAttribute(root + "/a.txt", "user.one", "first"));
        ASSERT_TRUE(realfs::setAttribute(root + "/a.txt", "user.two", "second"));
        ASSERT_TRUE(realfs::makeFolder(root + "/gone"));
        ASSERT_TRUE(realfs::setAttribute(root + "/gone", "user.own", "the folder's own"));
        ASSERT_TRUE(realfs::writeFile(root + "/gone/inside.txt", "x"));
        ASSERT_TRUE(realfs::setAttribute(root + "/gone/inside.txt", "user.s", "never seen"));
        ASSERT_TRUE(realfs::makeFolder(root + "/gone/below"));
        ASSERT_TRUE(realfs::writeFile(root + "/z.txt", "z"));
        ASSERT_TRUE(realfs::setAttribute(root + "/z.txt", "user.s", "last"));
    }

    const StreamRecord* find(const ScanResult& result, const std::u16string& host,
                             const std::u16string& stream) {
        for (const StreamRecord& record : result.records) {
            if (record.hostName == host && record.streamName == stream) {
                return &record;
            }
        }
        return nullptr;
    }

    TempFolder folder{"vanish"};
    std::string root;
};

TEST_F(VanishingTest, FolderGoneBeforeItsListingCountsAsFailedNotEmpty) {
    VanishingFileSystem fs;
    fs.folderToRemove = root + "/gone";
    const ScanResult result = scan(fs, root, ScanOptions{});
    const ScanStats& stats = result.stats;
    EXPECT_EQ(stats.listFailed, 1u);
    EXPECT_EQ(stats.accessDenied, 0u);
    EXPECT_EQ(stats.folders, 2u);  // root and gone, met before it went
    EXPECT_EQ(stats.files, 2u);    // a.txt and z.txt; nothing inside gone
    EXPECT_EQ(stats.streams, 4u);  // a.txt's two, gone's own, z.txt's
    EXPECT_EQ(find(result, u"inside.txt", u"s"), nullptr);
    EXPECT_NE(find(result, u"gone", u"own"), nullptr);
}

// A stream is sized and read in one call, so one gone after the names were
// read is simply no longer there; its neighbours are still listed.
TEST_F(VanishingTest, StreamGoneBeforeItIsReadIsNotListed) {
    VanishingFileSystem fs;
    fs.streamHost = root + "/a.txt";
    fs.streamAttribute = "user.two";
    const ScanResult result = scan(fs, root, ScanOptions{});
    const ScanStats& stats = result.stats;
    EXPECT_EQ(stats.unreadableStreams, 0u);
    EXPECT_EQ(stats.streams, 4u);
    EXPECT_EQ(stats.listFailed, 0u);
    EXPECT_EQ(find(result, u"a.txt", u"two"), nullptr);
    const StreamRecord* one = find(result, u"a.txt", u"one");
    ASSERT_NE(one, nullptr);
    EXPECT_FALSE(one->unreadable);
}

// A folder swapped for a link between its parent's listing and its own is
// never followed out of the tree: its listing fails, and nothing outside is met.
TEST_F(VanishingTest, FolderSwappedForALinkIsNotFollowedOutOfTheTree) {
    const std::string outside = folder.at("outside");
    ASSERT_TRUE(realfs::makeFolder(outside));
    ASSERT_TRUE(realfs::writeFile(outside + "/secret.txt", "s"));
    ASSERT_TRUE(realfs::setAttribute(outside + "/secret.txt", "user.s", "outside the tree"));
    VanishingFileSystem fs;
    fs.folderToSwap = root + "/gone";
    fs.swapTarget = outside;
    const ScanResult result = scan(fs, root, ScanOptions{});
    EXPECT_EQ(result.stats.listFailed, 1u);
    EXPECT_EQ(find(result, u"secret.txt", u"s"), nullptr);
    EXPECT_EQ(result.stats.files, 2u);  // a.txt and z.txt
}

TEST_F(VanishingTest, FileGoneBeforeItsStreamsAreListedCountsAsFailed) {
    VanishingFileSystem fs;
    fs.fileToRemove = root + "/z.txt";
    const ScanResult result = scan(fs, root, withItemRows());
    EXPECT_EQ(result.stats.listFailed, 1u);
    EXPECT_EQ(result.stats.files, 3u);  // z.txt was met in the listing
    for (const StreamRecord& record : result.records) {
        EXPECT_NE(record.hostName, u"z.txt") << "a vanished file must not look clean";
    }
}

}  // namespace
}  // namespace streamscan
