#include "engine/tree_walk.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/path_forms.h"
#include "engine/unicode.h"
#include "support/fake_file_system.h"
#include "support/places.h"
#include "support/scan_stats_printer.h"

namespace streamscan {
namespace {

// One scan over a fake file system, keeping the rows as stream paths and every
// progress report.
struct Scan {
    explicit Scan(PathStyle style = PathStyle::windows) : fs(style) {}

    ScanStats run(const std::vector<std::u16string>& roots) {
        rows.clear();
        records.clear();
        progressFolders.clear();
        placeLog.places.clear();
        continueCalls = 0;
        const ContinueCheck check = [this] {
            ++continueCalls;
            return !stopWhen || !stopWhen();
        };
        stats = scanRoots(
            roots, options,
            [this](const StreamRecord& r) {
                records.push_back(r);
                rows.push_back(utf8ForDisplay(recordStreamPath(r, fs.pathStyle())));
                if (onRecord) {
                    onRecord(r);
                }
            },
            check,
            [this](const std::u16string& folder, const ScanStats&) {
                progressFolders.push_back(utf8ForDisplay(folder));
            },
            fs, placeLog.sink());
        expectPlacesAddUp(stats, placeLog.places);
        EXPECT_EQ(fs.openListings(), 0);
        EXPECT_EQ(fs.openStreamListings(), 0);
        EXPECT_EQ(fs.openReaders(), 0);
        return stats;
    }

    FakeFileSystem fs;
    ScanOptions options;
    ScanStats stats;
    std::function<bool()> stopWhen;
    std::function<void(const StreamRecord&)> onRecord;
    std::vector<std::string> rows;
    std::vector<StreamRecord> records;
    std::vector<std::string> progressFolders;
    PlaceLog placeLog;
    int continueCalls = 0;
};

// C:\data: a.txt (stream), sub\ (stream, holds b.txt with a stream), c.txt (stream).
void buildData(FakeFileSystem& fs) {
    fs.addFolder(u"C:\\data");
    fs.addFile(u"C:\\data\\a.txt", "a");
    fs.addStream(u"C:\\data\\a.txt", u"s", "1");
    fs.addFolder(u"C:\\data\\sub");
    fs.addStream(u"C:\\data\\sub", u"f", "2");
    fs.addFile(u"C:\\data\\sub\\b.txt", "b");
    fs.addStream(u"C:\\data\\sub\\b.txt", u"s", "3");
    fs.addFile(u"C:\\data\\c.txt", "c");
    fs.addStream(u"C:\\data\\c.txt", u"s", "4");
}

TEST(ScanRoots, FailureTable) {
    struct Case {
        const char* label;
        std::function<void(FakeFileSystem&)> setUp;
        std::u16string root;
        std::vector<std::string> rows;
        ScanStats counts;
        std::vector<std::string> places;
    };
    const std::vector<std::string> all = {"C:\\data\\a.txt:s:$DATA", "C:\\data\\sub:f:$DATA",
                                          "C:\\data\\c.txt:s:$DATA",
                                          "C:\\data\\sub\\b.txt:s:$DATA"};
    const Case cases[] = {
        {"no fault", [](FakeFileSystem&) {}, u"C:\\data", all, {3, 2, 4, 4}, {}},
        {"empty root", [](FakeFileSystem&) {}, u"", {}, {.listFailed = 1}, {"failed||3"}},
        {"volume without streams",
         [](FakeFileSystem& fs) { fs.addVolume(u"C:\\", u"FAT32", false); },
         u"C:\\data",
         {},
         {.volumesWithoutStreams = 1},
         {"volume|C:\\data|0"}},
        {"volume with streams",
         [](FakeFileSystem& fs) {
             fs.addVolume(u"C:\\", u"FAT32", false);
             fs.addVolume(u"C:\\data", u"NTFS", true);
         },
         u"C:\\data",
         all,
         {3, 2, 4, 4},
         {}},
        {"volume unknown",
         [](FakeFileSystem& fs) {
             fs.addVolume(u"C:\\", u"FAT32", false);
             fs.setFault(FakeOp::queryVolume, u"C:\\data", {5});
         },
         u"C:\\data",
         all,
         {3, 2, 4, 4},
         {}},
        {"root refused",
         [](FakeFileSystem& fs) { fs.refuse(FakeOp::itemFacts, u"C:\\data"); },
         u"C:\\data",
         {},
         {.accessDenied = 1},
         {"denied|C:\\data|5"}},
        {"root missing",
         [](FakeFileSystem&) {},
         u"C:\\gone",
         {},
         {.listFailed = 1},
         {"failed|C:\\gone|2"}},
        {"root listing refused",
         [](FakeFileSystem& fs) { fs.refuse(FakeOp::startListing, u"C:\\data"); },
         u"C:\\data",
         {},
         {.folders = 1, .accessDenied = 1},
         {"denied|C:\\data|5"}},
        {"root listing fails",
         [](FakeFileSystem& fs) { fs.setFault(FakeOp::startListing, u"C:\\data", {21}); },
         u"C:\\data",
         {},
         {.folders = 1, .listFailed = 1},
         {"failed|C:\\data|21"}},
        {"root listing says empty (2)",
         [](FakeFileSystem& fs) { fs.setFault(FakeOp::startListing, u"C:\\data", {2}); },
         u"C:\\data",
         {},
         {.folders = 1},
         {}},
        {"root listing says empty (18)",
         [](FakeFileSystem& fs) { fs.setFault(FakeOp::startListing, u"C:\\data", {18}); },
         u"C:\\data",
         {},
         {.folders = 1},
         {}},
        {"subfolder listing refused",
         [](FakeFileSystem& fs) { fs.refuse(FakeOp::startListing, u"C:\\data\\sub"); },
         u"C:\\data",
         {all[0], all[1], all[2]},
         {2, 2, 3, 3, 1, 0},
         {"denied|C:\\data\\sub|5"}},
        // ".", "..", a.txt, sub: c.txt is never seen, the queued sub is still walked.
        {"listing breaks off refused",
         [](FakeFileSystem& fs) {
             fs.setFault(FakeOp::startListing, u"C:\\data", {5, 4});
         },
         u"C:\\data",
         {all[0], all[1], all[3]},
         {2, 2, 3, 3, 1, 0},
         {"denied|C:\\data|5"}},
        {"listing breaks off failing",
         [](FakeFileSystem& fs) {
             fs.setFault(FakeOp::startListing, u"C:\\data", {59, 4});
         },
         u"C:\\data",
         {all[0], all[1], all[3]},
         {2, 2, 3, 3, 0, 1},
         {"failed|C:\\data|59"}},
        {"listing ends with 18 early",
         [](FakeFileSystem& fs) {
             fs.setFault(FakeOp::startListing, u"C:\\data", {18, 4});
         },
         u"C:\\data",
         {all[0], all[1], all[3]},
         {2, 2, 3, 3},
         {}},
        {"stream enumeration refused",
         [](FakeFileSystem& fs) { fs.refuse(FakeOp::startStreams, u"C:\\data\\a.txt"); },
         u"C:\\data",
         {all[1], all[2], all[3]},
         {3, 2, 3, 3, 1, 0},
         {"denied|C:\\data\\a.txt|5"}},
        {"stream enumeration breaks off",
         [](FakeFileSystem& fs) {
             fs.addStream(u"C:\\data\\c.txt", u"t", "5");
             fs.setFault(FakeOp::startStreams, u"C:\\data\\c.txt", {59, 2});
         },
         u"C:\\data",
         all,
         {3, 2, 4, 4, 0, 1},
         {"failed|C:\\data\\c.txt|59"}},
        {"stream unreadable",
         [](FakeFileSystem& fs) { fs.refuse(FakeOp::openStream, u"C:\\data\\c.txt:s:$DATA"); },
         u"C:\\data",
         all,
         {.files = 3, .folders = 2, .itemsWithStreams = 4, .streams = 4, .unreadableStreams = 1},
         {"unreadable|C:\\data\\c.txt:s:$DATA|5"}},
        {"entry facts refused",
         [](FakeFileSystem& fs) { fs.refuse(FakeOp::entryFacts, u"C:\\data\\a.txt"); },
         u"C:\\data",
         {all[1], all[2], all[3]},
         {3, 2, 3, 3, 1, 0},
         {"denied|C:\\data\\a.txt|5"}},
        {"inner link",
         [](FakeFileSystem& fs) { fs.setAttributes(u"C:\\data\\sub", 0x410); },
         u"C:\\data",
         {all[0], all[2]},
         {.files = 2, .folders = 2, .itemsWithStreams = 2, .streams = 2, .linksNotFollowed = 1},
         {"link|C:\\data\\sub|0"}},
        {"root is a link",
         [](FakeFileSystem& fs) { fs.setAttributes(u"C:\\data", 0x410); },
         u"C:\\data",
         {all[0], all[1], all[2], all[3]},
         {.files = 3, .folders = 2, .itemsWithStreams = 4, .streams = 4, .linksNotFollowed = 1},
         {"link|C:\\data|0"}},
    };
    for (const auto& c : cases) {
        Scan scan;
        buildData(scan.fs);
        scan.options.includeFolders = true;
        c.setUp(scan.fs);
        const ScanStats stats = scan.run({c.root});
        EXPECT_EQ(scan.rows, c.rows) << c.label;
        EXPECT_EQ(stats, c.counts) << c.label;
        EXPECT_EQ(scan.placeLog.lines(), c.places) << c.label;
    }
}

TEST(ScanRoots, AnEntrysFactsAreAskedForOnlyWhenItShowsARecord) {
    struct Case {
        const char* label;
        bool includeFolders;
        bool showItems;
        std::uint64_t factsQueries;
        std::vector<std::string> rowsWithoutStreams;
    };
    // The three files with streams, and sub when folders are listed, show rows;
    // plain.txt and empty only as item rows; the link never. The root's facts
    // come from its own query, not from a listing.
    const Case cases[] = {
        {"streams only", false, false, 3, {}},
        {"folders too", true, false, 4, {}},
        {"every item", true, true, 6, {"C:\\data", "C:\\data\\plain.txt", "C:\\data\\sub\\empty"}},
        {"items without folders", false, true, 4, {"C:\\data\\plain.txt"}},
    };
    for (const auto& c : cases) {
        Scan scan;
        buildData(scan.fs);
        scan.fs.addFile(u"C:\\data\\plain.txt", "p");
        scan.fs.addFolder(u"C:\\data\\sub\\empty");
        scan.fs.addFolder(u"C:\\data\\link", 0x410);
        scan.options.includeFolders = c.includeFolders;
        scan.options.showItemsWithoutStreams = c.showItems;
        scan.run({u"C:\\data"});
        EXPECT_EQ(scan.fs.calls(FakeOp::entryFacts), c.factsQueries) << c.label;
        std::vector<std::string> itemRows;
        for (const StreamRecord& record : scan.records) {
            if (record.streamName.empty()) {
                itemRows.push_back(utf8ForDisplay(hostPathOf(record, PathStyle::windows)));
            } else {
                EXPECT_EQ(record.hostSize, record.hostIsFolder ? 0u : 1u) << c.label;
            }
        }
        EXPECT_EQ(itemRows, c.rowsWithoutStreams) << c.label;
    }
}

TEST(ScanRoots, InnerLinkIsNeverListedNorEnteredWhateverTheOptions) {
    for (const bool includeFolders : {false, true}) {
        for (const bool includeSubfolders : {false, true}) {
            Scan scan;
            buildData(scan.fs);
            scan.fs.setAttributes(u"C:\\data\\sub", 0x410);
            scan.options.includeFolders = includeFolders;
            scan.options.includeSubfolders = includeSubfolders;
            scan.options.showItemsWithoutStreams = true;
            scan.run({u"C:\\data"});
            EXPECT_EQ(scan.stats.folders, 2u);
            EXPECT_EQ(scan.stats.linksNotFollowed, 1u);
            for (const auto& row : scan.rows) {
                EXPECT_EQ(row.find("sub"), std::string::npos) << row;
            }
            const auto listed = scan.fs.listedFolders();
            EXPECT_EQ(listed, std::vector<std::u16string>{u"C:\\data"});
        }
    }
}

TEST(ScanRoots, FollowLinksEntersInnerLinks) {
    Scan scan;
    buildData(scan.fs);
    scan.fs.setAttributes(u"C:\\data\\sub", 0x410);
    scan.options.followLinks = true;
    scan.run({u"C:\\data"});
    EXPECT_EQ(scan.stats.linksNotFollowed, 0u);
    EXPECT_EQ(scan.rows.size(), 4u);
}

TEST(ScanRoots, ARootThatIsALinkIsEnteredButItsOwnStreamsAreNotListed) {
    for (const bool includeFolders : {false, true}) {
        Scan scan;
        buildData(scan.fs);
        scan.fs.setAttributes(u"C:\\data", 0x410);
        scan.fs.addStream(u"C:\\data", u"own", "x");
        scan.options.includeFolders = includeFolders;
        scan.run({u"C:\\data"});
        EXPECT_EQ(scan.stats.folders, 2u);
        EXPECT_EQ(scan.stats.linksNotFollowed, 1u);
        EXPECT_EQ(scan.stats.files, 3u);
        for (const auto& row : scan.rows) {
            EXPECT_EQ(row.find(":own:"), std::string::npos);
        }
        EXPECT_EQ(scan.rows.size(), includeFolders ? 4u : 3u);
    }
}

TEST(ScanRoots, RowsComeDepthFirstInPreOrderByLevel) {
    Scan scan;
    FakeFileSystem& fs = scan.fs;
    fs.addFolder(u"C:\\r");
    fs.addStream(u"C:\\r", u"root", "x");
    fs.addFile(u"C:\\r\\a.txt", "a");
    fs.addStream(u"C:\\r\\a.txt", u"s", "x");
    fs.addFolder(u"C:\\r\\one");
    fs.addStream(u"C:\\r\\one", u"s", "x");
    fs.addFile(u"C:\\r\\one\\c.txt", "c");
    fs.addStream(u"C:\\r\\one\\c.txt", u"s", "x");
    fs.addFolder(u"C:\\r\\one\\deep");
    fs.addStream(u"C:\\r\\one\\deep", u"s", "x");
    fs.addFile(u"C:\\r\\one\\deep\\d.txt", "d");
    fs.addStream(u"C:\\r\\one\\deep\\d.txt", u"s", "x");
    fs.addFile(u"C:\\r\\b.txt", "b");
    fs.addStream(u"C:\\r\\b.txt", u"s", "x");
    fs.addFolder(u"C:\\r\\two");
    fs.addStream(u"C:\\r\\two", u"s", "x");
    fs.addFile(u"C:\\r\\two\\e.txt", "e");
    fs.addStream(u"C:\\r\\two\\e.txt", u"s", "x");
    scan.run({u"C:\\r"});
    EXPECT_EQ(scan.rows, (std::vector<std::string>{
                             "C:\\r:root:$DATA",
                             "C:\\r\\a.txt:s:$DATA",
                             "C:\\r\\one:s:$DATA",
                             "C:\\r\\b.txt:s:$DATA",
                             "C:\\r\\two:s:$DATA",
                             "C:\\r\\one\\c.txt:s:$DATA",
                             "C:\\r\\one\\deep:s:$DATA",
                             "C:\\r\\one\\deep\\d.txt:s:$DATA",
                             "C:\\r\\two\\e.txt:s:$DATA",
                         }));
    EXPECT_EQ(scan.progressFolders,
              (std::vector<std::string>{"C:\\r", "C:\\r\\one", "C:\\r\\one\\deep", "C:\\r\\two"}));
    // Each level closes its listing before it descends.
    EXPECT_EQ(fs.maxOpenListings(), 1);
    EXPECT_EQ(fs.maxOpenStreamListings(), 1);
}

TEST(ScanRoots, WithoutSubfoldersOnlyTheRootsEntriesAreExamined) {
    Scan scan;
    buildData(scan.fs);
    scan.options.includeSubfolders = false;
    scan.run({u"C:\\data"});
    EXPECT_EQ(scan.rows,
              (std::vector<std::string>{"C:\\data\\a.txt:s:$DATA", "C:\\data\\sub:f:$DATA",
                                        "C:\\data\\c.txt:s:$DATA"}));
    EXPECT_EQ(scan.stats.folders, 2u);
    EXPECT_EQ(scan.stats.files, 2u);
}

TEST(ScanRoots, ItemRowsForFoldersNeedBothOptions) {
    for (const bool includeFolders : {false, true}) {
        Scan scan;
        scan.fs.addFolder(u"C:\\r\\empty");
        scan.fs.addFile(u"C:\\r\\plain.txt", "p");
        scan.options.includeFolders = includeFolders;
        scan.options.showItemsWithoutStreams = true;
        scan.run({u"C:\\r"});
        std::vector<std::string> expected;
        if (includeFolders) {
            expected = {"C:\\r", "C:\\r\\empty", "C:\\r\\plain.txt"};
        } else {
            expected = {"C:\\r\\plain.txt"};
        }
        EXPECT_EQ(scan.rows, expected);
        EXPECT_EQ(scan.stats.streams, 0u);
        EXPECT_EQ(scan.stats.itemsWithStreams, 0u);
        EXPECT_EQ(scan.stats.listFailed + scan.stats.accessDenied, 0u);
    }
}

TEST(ScanRoots, AFileRootIsMadeAbsoluteTrimmedAndPolledOnce) {
    struct Case {
        const char* label;
        std::u16string root;
    };
    const Case cases[] = {
        {"trailing separator", u"C:\\work\\a.txt\\"},
        {"relative", u"a.txt"},
        {"relative with dots", u".\\sub\\..\\a.txt"},
        {"forward slashes", u"C:/work/a.txt/"},
    };
    for (const auto& c : cases) {
        Scan scan;
        scan.fs.setCurrentFolder(u"C:\\work");
        scan.fs.addFile(u"C:\\work\\a.txt", "a");
        scan.fs.addStream(u"C:\\work\\a.txt", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
        scan.run({c.root});
        ASSERT_EQ(scan.records.size(), 1u) << c.label;
        EXPECT_EQ(scan.records[0].hostFolder, u"C:\\work") << c.label;
        EXPECT_EQ(scan.records[0].hostName, u"a.txt") << c.label;
        EXPECT_EQ(scan.records[0].zone.zone, 3u) << c.label;
        EXPECT_EQ(scan.stats.files, 1u) << c.label;
        EXPECT_TRUE(scan.progressFolders.empty()) << c.label;
        EXPECT_EQ(scan.continueCalls, 1) << c.label;
    }
}

TEST(ScanRoots, ContinueCheckIsPolledAtEachRootFolderEntryAndDescent) {
    Scan scan;
    buildData(scan.fs);
    scan.run({u"C:\\data"});
    // The root once; data: its start and its five entries (".", "..", a.txt, sub,
    // c.txt); the descent into sub; sub: its start and three entries.
    EXPECT_EQ(scan.continueCalls, 1 + (1 + 5) + 1 + (1 + 3));
    EXPECT_EQ(scan.progressFolders, (std::vector<std::string>{"C:\\data", "C:\\data\\sub"}));
}

TEST(ScanRoots, CancellingStopsBetweenItemsNeverWithinOne) {
    Scan scan;
    scan.fs.addFolder(u"C:\\r");
    scan.fs.addFile(u"C:\\r\\many.txt", "m");
    for (const char16_t* name : {u"s0", u"s1", u"s2", u"s3", u"s4"}) {
        scan.fs.addStream(u"C:\\r\\many.txt", name, "x");
    }
    scan.fs.addFile(u"C:\\r\\next.txt", "n");
    scan.fs.addStream(u"C:\\r\\next.txt", u"s", "x");
    scan.fs.addFile(u"C:\\other.txt", "o");
    scan.fs.addStream(u"C:\\other.txt", u"s", "x");
    bool cancelRequested = false;
    scan.onRecord = [&](const StreamRecord&) { cancelRequested = true; };
    scan.stopWhen = [&] { return cancelRequested; };
    const ScanStats stats = scan.run({u"C:\\r", u"C:\\other.txt"});
    EXPECT_EQ(scan.rows.size(), 5u);
    EXPECT_EQ(stats.streams, 5u);
    EXPECT_EQ(stats.itemsWithStreams, 1u);
    EXPECT_TRUE(stats.cancelled);
    EXPECT_EQ(stats.files, 1u);
    EXPECT_EQ(stats.listFailed + stats.accessDenied, 0u);  // a stop is not a failure
    EXPECT_EQ(scan.placeLog.lines(), std::vector<std::string>{"cancelled|C:\\r|0"});
    // The check is not asked again once it said stop.
    const int callsAtStop = scan.continueCalls;
    EXPECT_EQ(callsAtStop, 1 + 1 + 3 + 1);
}

TEST(ScanRoots, CancellingBeforeTheFirstRootExaminesNothingBeyondIt) {
    Scan scan;
    buildData(scan.fs);
    scan.stopWhen = [] { return true; };
    const ScanStats stats = scan.run({u"C:\\data", u"C:\\data\\a.txt"});
    EXPECT_TRUE(stats.cancelled);
    EXPECT_TRUE(scan.rows.empty());
    EXPECT_EQ(stats.folders, 0u);
    EXPECT_EQ(scan.continueCalls, 1);
    EXPECT_EQ(scan.fs.calls(FakeOp::itemFacts), 1u);
}

std::u16string chainPath(std::u16string root, int levels, PathStyle style) {
    for (int i = 0; i < levels; ++i) {
        root = joinPath(root, u"d", style);
    }
    return root;
}

TEST(ScanRoots, DepthLimitListsDownTo255LevelsBelowTheRoot) {
    for (const PathStyle style : {PathStyle::windows, PathStyle::posix}) {
        for (const int levels : {255, 256}) {
            Scan scan(style);
            const std::u16string root = style == PathStyle::windows ? u"C:\\r" : u"/r";
            const std::u16string deepest = chainPath(root, levels, style);
            scan.fs.addFolder(deepest);
            const std::u16string file = joinPath(deepest, u"f.txt", style);
            scan.fs.addFile(file, "f");
            scan.fs.addStream(file, u"s", "x");
            scan.run({root});
            const bool listed = levels == 255;
            const std::vector<std::string> beyond = {"depth|" + utf8ForDisplay(deepest) + "|0"};
            EXPECT_EQ(scan.placeLog.lines(), listed ? std::vector<std::string>() : beyond)
                << levels;
            EXPECT_EQ(scan.rows.size(), listed ? 1u : 0u) << levels;
            EXPECT_EQ(scan.stats.folders, static_cast<std::uint64_t>(levels) + 1) << levels;
            // The folder beyond the limit still has its progress report.
            ASSERT_EQ(scan.progressFolders.size(), static_cast<std::size_t>(levels) + 1);
            EXPECT_EQ(scan.progressFolders.back(), utf8ForDisplay(deepest));
            EXPECT_EQ(scan.fs.listedFolders().size(), 256u);
            EXPECT_EQ(scan.fs.maxOpenListings(), 1);
        }
    }
}

TEST(ScanRoots, WindowsRootsKeepPlainPaths) {
    struct Case {
        const char* label;
        std::u16string root;
        std::u16string file;
        std::u16string hostFolder;
    };
    const std::u16string longFolder = u"C:\\" + std::u16string(250, u'l');
    const Case cases[] = {
        {"drive root", u"C:\\", u"C:\\a.txt", u"C:\\"},
        {"drive root, forward slash", u"C:/", u"C:\\a.txt", u"C:\\"},
        {"UNC", u"\\\\server\\share\\dir", u"\\\\server\\share\\dir\\a.txt",
         u"\\\\server\\share\\dir"},
        {"UNC share", u"\\\\server\\share\\", u"\\\\server\\share\\a.txt", u"\\\\server\\share"},
        {"long path", longFolder, longFolder + u"\\a.txt", longFolder},
    };
    for (const auto& c : cases) {
        Scan scan;
        scan.fs.addFile(c.file, "a");
        scan.fs.addStream(c.file, u"s", "x");
        scan.fs.addStream(parentPath(c.file, PathStyle::windows), u"own", "y");
        scan.run({c.root});
        ASSERT_EQ(scan.records.size(), 2u) << c.label;
        const StreamRecord& own = scan.records[0];
        const StreamRecord& file = scan.records[1];
        EXPECT_EQ(hostPathOf(own, PathStyle::windows), c.hostFolder) << c.label;
        EXPECT_EQ(file.hostFolder, c.hostFolder) << c.label;
        EXPECT_EQ(file.hostName, u"a.txt") << c.label;
        EXPECT_EQ(scan.progressFolders, std::vector<std::string>{utf8ForDisplay(c.hostFolder)})
            << c.label;
        for (const auto& folder : scan.fs.listedFolders()) {
            EXPECT_NE(utf8ForDisplay(folder).rfind("\\\\?\\", 0), 0u) << c.label;
        }
    }
    // The drive root is its own parent: hostFolder C:\ and no host name.
    Scan scan;
    scan.fs.addFolder(u"C:\\");
    scan.fs.addStream(u"C:\\", u"own", "y");
    scan.run({u"C:\\"});
    ASSERT_EQ(scan.records.size(), 1u);
    EXPECT_EQ(scan.records[0].hostFolder, u"C:\\");
    EXPECT_EQ(scan.records[0].hostName, u"");
}

TEST(ScanRoots, PosixRoots) {
    Scan scan(PathStyle::posix);
    scan.fs.addFolder(u"/");
    scan.fs.addStream(u"/", u"own", "y");
    scan.fs.addFile(u"/a\\b.txt", "a");
    scan.fs.addStream(u"/a\\b.txt", u"s", "x");
    scan.fs.addFile(u"/home/u/c.txt", "c");
    scan.fs.addStream(u"/home/u/c.txt", u"s", "x");
    scan.fs.addVolume(u"/mnt/fat", u"vfat", false);
    scan.fs.addFile(u"/mnt/fat/x", "x");
    scan.fs.addStream(u"/mnt/fat/x", u"s", "x");
    const ScanStats stats = scan.run({u"/", u"/home/u/", u"/mnt/fat"});
    // The FAT mount inside "/" is only refused as a root of its own; walking "/"
    // reaches it like any folder (volumes are checked per root).
    EXPECT_EQ(scan.rows,
              (std::vector<std::string>{"/:own:$DATA", "/a\\b.txt:s:$DATA", "/home/u/c.txt:s:$DATA",
                                        "/mnt/fat/x:s:$DATA", "/home/u/c.txt:s:$DATA"}));
    EXPECT_EQ(stats.volumesWithoutStreams, 1u);
    ASSERT_FALSE(scan.records.empty());
    EXPECT_EQ(scan.records[0].hostFolder, u"/");
    EXPECT_EQ(scan.records[0].hostName, u"");
    EXPECT_EQ(scan.records[1].hostFolder, u"/");
    EXPECT_EQ(scan.records[1].hostName, u"a\\b.txt");
    EXPECT_EQ(scan.progressFolders.back(), "/home/u");
}

TEST(ScanRoots, NoExceptionLeavesTheScan) {
    struct Case {
        const char* label;
        FakeOp op;
        std::u16string path;
    };
    const Case cases[] = {
        {"stream enumeration", FakeOp::startStreams, u"C:\\data\\sub\\b.txt"},
        {"listing", FakeOp::startListing, u"C:\\data\\sub"},
        {"read", FakeOp::read, u"C:\\data\\sub\\b.txt:s:$DATA"},
        {"volume query", FakeOp::queryVolume, u"C:\\data"},
    };
    for (const auto& c : cases) {
        Scan scan;
        buildData(scan.fs);
        scan.fs.addFile(u"C:\\second.txt", "s");
        scan.fs.addStream(u"C:\\second.txt", u"s", "x");
        FakeFault fault;
        fault.throwBadAlloc = true;
        scan.fs.setFault(c.op, c.path, fault);
        ScanStats stats;
        EXPECT_NO_THROW(stats = scan.run({u"C:\\data", u"C:\\second.txt"})) << c.label;
        EXPECT_EQ(scan.placeLog.lines(), std::vector<std::string>{"failed|C:\\data|8"}) << c.label;
        for (const auto& row : scan.rows) {
            EXPECT_EQ(row.find("second"), std::string::npos) << c.label;
        }
    }
    // A sink that throws is handled the same way.
    Scan scan;
    buildData(scan.fs);
    scan.onRecord = [](const StreamRecord&) { throw std::runtime_error("sink"); };
    ScanStats stats;
    EXPECT_NO_THROW(stats = scan.run({u"C:\\data"}));
    EXPECT_EQ(scan.placeLog.lines(), std::vector<std::string>{"failed|C:\\data|0"});
    EXPECT_EQ(stats.streams, 1u);
}

TEST(ScanRoots, EmptyCallbacksAreAllowed) {
    FakeFileSystem fs;
    buildData(fs);
    const ScanStats stats =
        scanRoots({u"C:\\data"}, ScanOptions(), RecordSink(), ContinueCheck(), ProgressSink(), fs);
    EXPECT_EQ(stats.streams, 4u);
    EXPECT_FALSE(stats.cancelled);
}

TEST(QueryVolume, AnEmptyPathAsksNothing) {
    FakeFileSystem fs;
    fs.addVolume(u"C:\\", u"NTFS", true);
    const VolumeInfo empty = queryVolume(u"", fs);
    EXPECT_FALSE(empty.known);
    EXPECT_EQ(fs.calls(FakeOp::queryVolume), 0u);
    const VolumeInfo ntfs = queryVolume(u"c:\\x", fs);
    EXPECT_TRUE(ntfs.known);
    EXPECT_TRUE(ntfs.namedStreams);
    EXPECT_EQ(ntfs.fileSystemName, u"NTFS");
}

}  // namespace
}  // namespace streamscan
