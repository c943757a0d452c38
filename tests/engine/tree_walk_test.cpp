#include "engine/tree_walk.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
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
// progress report; checks that the places add up and no handle is left open.
struct Scan {
    explicit Scan(PathStyle style = PathStyle::windows) : fs(style) {}

    ScanStats run(const std::vector<std::u16string>& roots) {
        const auto sink = [this](const StreamRecord& r) {
            rows.push_back(utf8ForDisplay(recordStreamPath(r, fs.pathStyle())));
            itemRows += r.streamName.empty() ? 1 : 0;
            if (onRecord) {
                onRecord(r);
            }
        };
        const auto check = [this] {
            ++continueCalls;
            return !stopWhen || !stopWhen();
        };
        const auto progress = [this](const std::u16string& folder, const ScanStats&) {
            progressFolders.push_back(utf8ForDisplay(folder));
        };
        stats = scanRoots(roots, options, sink, check, progress, fs, placeLog.sink());
        expectPlacesAddUp(stats, placeLog.places);
        EXPECT_EQ(fs.log().open, FakeLog().open);
        // Each level closes its listing before it descends.
        EXPECT_LE(fs.log().maxOpen[static_cast<int>(FakeOp::startListing)], 1);
        return stats;
    }

    FakeFileSystem fs;
    ScanOptions options;
    ScanStats stats;
    std::function<bool()> stopWhen;
    std::function<void(const StreamRecord&)> onRecord;
    std::vector<std::string> rows;
    int itemRows = 0;
    std::vector<std::string> progressFolders;
    PlaceLog placeLog;
    int continueCalls = 0;
};

// C:\data holds a.txt, sub\ and c.txt; sub holds b.txt. Each has one stream,
// and the tables name their rows by the letters in `rowsOf`.
void buildData(FakeFileSystem& fs) {
    fs.addStream(u"C:\\data\\a.txt", u"s", "1");
    fs.addFolder(u"C:\\data\\sub");
    fs.addStream(u"C:\\data\\sub", u"f", "2");
    fs.addStream(u"C:\\data\\sub\\b.txt", u"s", "3");
    fs.addStream(u"C:\\data\\c.txt", u"s", "4");
}

std::vector<std::string> rowsOf(std::string_view letters) {
    static const std::map<char, std::string> paths = {{'a', "C:\\data\\a.txt:s:$DATA"},
                                                      {'f', "C:\\data\\sub:f:$DATA"},
                                                      {'c', "C:\\data\\c.txt:s:$DATA"},
                                                      {'b', "C:\\data\\sub\\b.txt:s:$DATA"}};
    std::vector<std::string> rows;
    for (const char letter : letters) {
        rows.push_back(paths.at(letter));
    }
    return rows;
}

std::function<void(FakeFileSystem&)> fault(FakeOp op, std::u16string path, FakeFault fault) {
    return [=](FakeFileSystem& fs) { fs.setFault(op, path, fault); };
}

std::function<void(FakeFileSystem&)> link(std::u16string path) {
    return [=](FakeFileSystem& fs) { fs.setAttributes(path, 0x410); };
}

TEST(ScanRoots, CountsAndNamesWhatItCouldNotExamine) {
    using enum FakeOp;
    struct Case {
        std::function<void(FakeFileSystem&)> setUp;
        const char* rows;
        ScanStats stats;
        std::string place;
        ScanOptions options = {};
        std::u16string root = u"C:\\data";
    };
    const std::u16string data = u"C:\\data";
    const Case cases[] = {
        {fault(queryVolume, data, {5}),
         "afcb",
         {.files = 3, .folders = 2, .itemsWithStreams = 4, .streams = 4},
         ""},
        {fault(itemFacts, data, {5}), "", {.accessDenied = 1}, "denied|C:\\data|5"},
        {nullptr, "", {.listFailed = 1}, "failed|C:\\gone|2", {}, u"C:\\gone"},
        {nullptr, "", {.listFailed = 1}, "failed||3", {}, u""},
        {fault(startListing, data, {5}),
         "",
         {.folders = 1, .accessDenied = 1},
         "denied|C:\\data|5"},
        {fault(startListing, data, {21}),
         "",
         {.folders = 1, .listFailed = 1},
         "failed|C:\\data|21"},
        {fault(startListing, data, {2}), "", {.folders = 1}, ""},  // an empty folder
        {fault(startListing, data, {18}), "", {.folders = 1}, ""},
        {fault(startListing, data + u"\\sub", {5}),
         "afc",
         {.files = 2, .folders = 2, .itemsWithStreams = 3, .streams = 3, .accessDenied = 1},
         "denied|C:\\data\\sub|5"},
        // ".", "..", a.txt, sub: c.txt is never seen, the queued sub is still walked.
        {fault(startListing, data, {59, 4}),
         "afb",
         {.files = 2, .folders = 2, .itemsWithStreams = 3, .streams = 3, .listFailed = 1},
         "failed|C:\\data|59"},
        {fault(startListing, data, {18, 4}),
         "afb",
         {.files = 2, .folders = 2, .itemsWithStreams = 3, .streams = 3},
         ""},
        {fault(entryFacts, data + u"\\a.txt", {5}),
         "fcb",
         {.files = 3, .folders = 2, .itemsWithStreams = 3, .streams = 3, .accessDenied = 1},
         "denied|C:\\data\\a.txt|5"},
        {fault(openStream, data + u"\\c.txt:s:$DATA", {5}),
         "afcb",
         {.files = 3, .folders = 2, .itemsWithStreams = 4, .streams = 4, .unreadableStreams = 1},
         "unreadable|C:\\data\\c.txt:s:$DATA|5"},
        {[](FakeFileSystem& fs) { fs.addVolume(u"C:\\data", u"FAT32", false); },
         "",
         {.volumesWithoutStreams = 1},
         "volume|C:\\data|0"},
        // An inner link is neither listed nor entered unless asked to follow; a
        // root that is a link is entered, but its own streams are not listed.
        {link(u"C:\\data\\sub"),
         "ac",
         {.files = 2, .folders = 2, .itemsWithStreams = 2, .streams = 2, .linksNotFollowed = 1},
         "link|C:\\data\\sub|0"},
        {link(u"C:\\data\\sub"),
         "afcb",
         {.files = 3, .folders = 2, .itemsWithStreams = 4, .streams = 4},
         "",
         {.followLinks = true}},
        {[](FakeFileSystem& fs) {
             link(u"C:\\data")(fs);
             fs.addStream(u"C:\\data", u"own", "x");
         },
         "afcb",
         {.files = 3, .folders = 2, .itemsWithStreams = 4, .streams = 4, .linksNotFollowed = 1},
         "link|C:\\data|0"},
        {nullptr,
         "afc",
         {.files = 2, .folders = 2, .itemsWithStreams = 3, .streams = 3},
         "",
         {.includeSubfolders = false}},
    };
    for (const auto& c : cases) {
        Scan scan;
        buildData(scan.fs);
        scan.fs.addVolume(u"C:\\", u"NTFS", true);
        if (c.setUp) {
            c.setUp(scan.fs);
        }
        scan.options = c.options;
        EXPECT_EQ(scan.run({c.root}), c.stats) << c.place;
        EXPECT_EQ(scan.rows, rowsOf(c.rows)) << c.place;
        EXPECT_EQ(scan.placeLog.lines(), std::vector<std::string>(!c.place.empty(), c.place));
    }
}

// A folder's entries come before anything below it, and each subfolder is
// walked whole before the next.
TEST(ScanRoots, FoldersAreWalkedDepthFirst) {
    Scan scan;
    scan.fs.addStream(u"C:\\r\\one\\deep\\d.txt", u"s", "x");
    scan.fs.addStream(u"C:\\r\\two\\e.txt", u"s", "x");
    scan.run({u"C:\\r"});
    EXPECT_EQ(scan.rows, (std::vector<std::string>{"C:\\r\\one\\deep\\d.txt:s:$DATA",
                                                   "C:\\r\\two\\e.txt:s:$DATA"}));
    EXPECT_EQ(scan.progressFolders,
              (std::vector<std::string>{"C:\\r", "C:\\r\\one", "C:\\r\\one\\deep", "C:\\r\\two"}));
}

TEST(ScanRoots, AFileRootIsMadeAbsoluteTrimmedAndPolledOnce) {
    for (const char16_t* root : {u"a.txt", u"C:/work/a.txt/"}) {
        Scan scan;
        scan.fs.setCurrentFolder(u"C:\\work");
        scan.fs.addStream(u"C:\\work\\a.txt", u"s", "x");
        EXPECT_EQ(scan.run({root}), (ScanStats{.files = 1, .itemsWithStreams = 1, .streams = 1}));
        EXPECT_EQ(scan.rows, std::vector<std::string>{"C:\\work\\a.txt:s:$DATA"});
        EXPECT_EQ(scan.continueCalls, 1);
    }
}

TEST(ScanRoots, AStopIsNoFailureAndEndsTheScanWhereItTookEffect) {
    Scan stopped;
    for (const char16_t* name : {u"s0", u"s1", u"s2"}) {
        stopped.fs.addStream(u"C:\\r\\many.txt", name, "x");
    }
    stopped.fs.addStream(u"C:\\r\\next.txt", u"s", "x");
    stopped.fs.addStream(u"C:\\other.txt", u"s", "x");
    stopped.stopWhen = [&] { return !stopped.rows.empty(); };
    EXPECT_EQ(
        stopped.run({u"C:\\r", u"C:\\other.txt"}),
        (ScanStats{
            .files = 1, .folders = 1, .itemsWithStreams = 1, .streams = 3, .cancelled = true}));
    EXPECT_EQ(stopped.placeLog.lines(), std::vector<std::string>{"cancelled|C:\\r|0"});
    EXPECT_EQ(stopped.continueCalls, 1 + 1 + 3 + 1);  // never asked again once it said stop
}

TEST(ScanRoots, DepthLimitListsDownTo255LevelsBelowTheRoot) {
    for (const PathStyle style : {PathStyle::windows, PathStyle::posix}) {
        for (const int levels : {255, 256}) {
            Scan scan(style);
            const std::u16string root = style == PathStyle::windows ? u"C:\\r" : u"/r";
            std::u16string deepest = root;
            for (int i = 0; i < levels; ++i) {
                deepest = joinPath(deepest, u"d", style);
            }
            scan.fs.addStream(joinPath(deepest, u"f.txt", style), u"s", "x");
            scan.run({root});
            const bool listed = levels == 255;
            const std::string beyond = "depth|" + utf8ForDisplay(deepest) + "|0";
            EXPECT_EQ(scan.placeLog.lines(), std::vector<std::string>(!listed, beyond));
            EXPECT_EQ(scan.rows.size(), listed ? 1u : 0u);
            // The folder beyond the limit is counted and reported, but not listed.
            EXPECT_EQ(scan.stats.folders, levels + 1u);
            EXPECT_EQ(scan.progressFolders.back(), utf8ForDisplay(deepest));
            EXPECT_EQ(scan.fs.calls(FakeOp::startListing), 256u);
        }
    }
}

TEST(ScanRoots, NoExceptionLeavesTheScan) {
    for (const auto& [op, path] : std::initializer_list<std::pair<FakeOp, std::u16string>>{
             {FakeOp::startStreams, u"C:\\data\\sub\\b.txt"},
             {FakeOp::startListing, u"C:\\data\\sub"},
             {FakeOp::read, u"C:\\data\\sub\\b.txt:s:$DATA"},
             {FakeOp::queryVolume, u"C:\\data"}}) {
        Scan scan;
        buildData(scan.fs);
        scan.fs.addStream(u"C:\\second.txt", u"s", "x");
        scan.fs.setFault(op, path, {.throwBadAlloc = true});
        EXPECT_NO_THROW(scan.run({u"C:\\data", u"C:\\second.txt"}));
        // Out of memory ends the whole scan, named at its root.
        EXPECT_EQ(scan.placeLog.lines(), std::vector<std::string>{"failed|C:\\data|8"});
    }
    Scan scan;
    buildData(scan.fs);
    scan.onRecord = [](const StreamRecord&) { throw std::runtime_error("sink"); };
    EXPECT_NO_THROW(scan.run({u"C:\\data"}));
    EXPECT_EQ(scan.placeLog.lines(), std::vector<std::string>{"failed|C:\\data|0"});
}

TEST(ScanRoots, EmptyCallbacksAreAllowedAndAnEmptyPathAsksNoVolume) {
    FakeFileSystem fs;
    buildData(fs);
    EXPECT_EQ(scanRoots({u"C:\\data"}, {}, nullptr, nullptr, nullptr, fs).streams, 4u);
    EXPECT_FALSE(queryVolume(u"", fs).known);
    EXPECT_EQ(fs.calls(FakeOp::queryVolume), 1u);
}

}  // namespace
}  // namespace streamscan
