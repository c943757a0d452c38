#include "engine/tree_walk.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "engine/path_forms.h"
#include "engine/stream_listing.h"
#include "engine/unicode.h"
#include "support/fake_file_system.h"
#include "support/places.h"
#include "support/scan_stats_printer.h"

namespace streamscan {
namespace {

// One scan over a fake file system, or the stream listing of one item, keeping
// the rows and every progress report; checks that the places add up and no
// handle is left open.
struct Scan {
    explicit Scan(PathStyle style = PathStyle::windows) : fs(style) {}

    ScanStats run(const std::vector<std::u16string>& roots) {
        const auto check = [this] {
            askedAfterStop += saidStop ? 1 : 0;
            saidStop = saidStop || (stopWhen && stopWhen());
            return !saidStop;
        };
        const auto progress = [this](const std::u16string& folder, const ScanStats&) {
            progressFolders.push_back(utf8ForDisplay(folder));
        };
        stats = scanRoots(roots, options, sink(), check, progress, fs, placeLog.sink());
        // Each level closes its listing before it descends.
        EXPECT_LE(fs.log().maxOpen[static_cast<int>(FakeOp::startListing)], 1);
        return finish();
    }

    // Lists the streams of one item the way the walk does.
    ScanStats list(const std::u16string& host, bool isFolder = false, ItemFacts facts = {0x20}) {
        ScanContext context{fs, options, sink(), nullptr, nullptr, {}, placeLog.sink()};
        HostFacts hostFacts(facts);
        listItemStreams(context, host, isFolder, hostFacts);
        stats = context.stats;
        return finish();
    }

    RecordSink sink() {
        return [this](const StreamRecord& r) {
            records.push_back(r);
            rows.push_back(utf8ForDisplay(recordStreamPath(r, fs.pathStyle())));
            names.push_back(utf8ForDisplay(r.streamName) + "|" + utf8ForDisplay(r.streamType));
            if (onRecord) {
                onRecord(r);
            }
        };
    }

    ScanStats finish() {
        expectPlacesAddUp(stats, placeLog.places);
        EXPECT_EQ(fs.log().open, FakeLog().open);
        return stats;
    }

    FakeFileSystem fs;
    ScanOptions options;
    ScanStats stats;
    std::function<bool()> stopWhen;
    std::function<void(const StreamRecord&)> onRecord;
    std::vector<StreamRecord> records;
    std::vector<std::string> rows;   // stream paths
    std::vector<std::string> names;  // "name|type"
    std::vector<std::string> progressFolders;
    PlaceLog placeLog;
    bool saidStop = false;
    int askedAfterStop = 0;
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
         {.followLinks = true, .followLinksOutOfRoots = true}},
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
        // What the user excluded, by name or by its path below the root, is
        // counted as such and neither listed nor entered.
        {nullptr,
         "ac",
         {.files = 2, .folders = 1, .itemsWithStreams = 2, .streams = 2, .excluded = 1},
         "",
         {.excludePatterns = {u"x", u"S?B"}}},
        {nullptr,
         "afc",
         {.files = 2, .folders = 2, .itemsWithStreams = 3, .streams = 3, .excluded = 1},
         "",
         {.excludePatterns = {u"sub\\*.TXT"}}},
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

TEST(ScanRoots, AFileRootIsMadeAbsoluteAndTrimmed) {
    for (const char16_t* root : {u"a.txt", u"C:/work/a.txt/"}) {
        Scan scan;
        scan.fs.setCurrentFolder(u"C:\\work");
        scan.fs.addStream(u"C:\\work\\a.txt", u"s", "x");
        EXPECT_EQ(scan.run({root}), (ScanStats{.files = 1, .itemsWithStreams = 1, .streams = 1}));
        EXPECT_EQ(scan.rows, std::vector<std::string>{"C:\\work\\a.txt:s:$DATA"});
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
    EXPECT_EQ(stopped.askedAfterStop, 0);
}

TEST(ScanRoots, DepthLimitListsDownTo255LevelsBelowTheRoot) {
    for (const int levels : {255, 256}) {
        Scan scan;
        std::u16string deepest = u"C:\\r";
        for (int i = 0; i < levels; ++i) {
            deepest += u"\\d";
        }
        scan.fs.addStream(deepest + u"\\f.txt", u"s", "x");
        scan.run({u"C:\\r"});
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

constexpr char16_t kHost[] = u"C:\\dl\\setup.txt";

// Name and type come from the listed form; the main stream (any unnamed $DATA
// or $INDEX_ALLOCATION) is the item itself, not a row.
TEST(ListItemStreams, OneRowPerAlternateStreamWithTheHostFields) {
    Scan l;
    l.fs.addFile(kHost, "MZ host");
    for (const char16_t* listed : {u":one:$DATA", u"::$data", u"noColons", u":$DATA", u"::$EA",
                                   u"::$Index_Allocation", u":a:b:c", u"::$DATA ", u""}) {
        l.fs.addListedStream(kHost, listed, "22");
    }
    EXPECT_EQ(l.list(kHost, false, {0x21, 7, 133000000000000000ull}),
              (ScanStats{.itemsWithStreams = 1, .streams = 6}));
    EXPECT_EQ(l.names, (std::vector<std::string>{"one|$DATA", "noColons|", "$DATA|", "|$EA",
                                                 "a:b|c", "|$DATA "}));
    // An empty type is $DATA; any other is kept; an unnamed stream is the host.
    EXPECT_EQ(std::vector(l.rows.begin() + 1, l.rows.begin() + 5),
              (std::vector<std::string>{"C:\\dl\\setup.txt:noColons:$DATA",
                                        "C:\\dl\\setup.txt:$DATA:$DATA", "C:\\dl\\setup.txt",
                                        "C:\\dl\\setup.txt:a:b:c"}));
    ASSERT_EQ(l.records.size(), 6u);
    const StreamRecord& one = l.records[0];
    EXPECT_EQ(std::tuple(one.hostFolder, one.hostName, one.streamSize, one.hostAttributes,
                         one.hostSize, one.hostModified),
              std::tuple(u"C:\\dl", u"setup.txt", 2u, 0x21u, 7u, 133000000000000000ull));
    EXPECT_EQ(std::string(one.head.begin(), one.head.begin() + one.headLength), "22");
    // The unnamed stream of another type reads the host itself, and, having no
    // name, draws no note even though the host starts with MZ.
    EXPECT_EQ(std::tuple(l.records[3].headLength, l.records[3].severity), std::tuple(7u, 0u));
}

TEST(ListItemStreams, FailuresAreCountedAndNeverTakenForAnItemWithoutStreams) {
    const ScanStats unreadable{.itemsWithStreams = 1, .streams = 3, .unreadableStreams = 3};
    // The file lists ::$DATA, a, b, c.
    const std::tuple<FakeOp, FakeFault, std::vector<std::string>, ScanStats> cases[] = {
        {FakeOp::startStreams, {5}, {}, {.accessDenied = 1}},
        {FakeOp::startStreams, {21}, {}, {.listFailed = 1}},
        {FakeOp::startStreams,
         {5, 3},
         {"a|$DATA", "b|$DATA"},
         {.itemsWithStreams = 1, .streams = 2, .accessDenied = 1}},
        {FakeOp::startStreams, {59, 1}, {}, {.listFailed = 1}},
        {FakeOp::startStreams,
         {18, 4},
         {"a|$DATA", "b|$DATA", "c|$DATA"},
         {.itemsWithStreams = 1, .streams = 3}},
        {FakeOp::openStream, {5}, {"a|$DATA", "b|$DATA", "c|$DATA"}, unreadable},
        {FakeOp::read, {23}, {"a|$DATA", "b|$DATA", "c|$DATA"}, unreadable},
    };
    for (const auto& [op, fault, names, stats] : cases) {
        Scan l;
        l.options.showItemsWithoutStreams = true;
        for (const char16_t* name : {u"a", u"b", u"c"}) {
            l.fs.addStream(kHost, name, "abc");
        }
        l.fs.setFault(op, u"", fault);
        l.list(kHost);
        EXPECT_EQ(l.names, names) << fault.error << " after " << fault.after;
        EXPECT_EQ(l.stats, stats) << fault.error << " after " << fault.after;
        for (const auto& row : l.records) {
            EXPECT_EQ(row.headLength, row.unreadable ? 0u : 3u);
        }
    }
}

// Zone.Identifier content of exactly `size` bytes whose ZoneId line comes last,
// so that the zone is known only when the whole stream was read.
std::string zoneContentOfSize(std::size_t size) {
    const std::string head = "[ZoneTransfer]\r\nPad=";
    const std::string tail = "\r\nZoneId=3\r\n";
    return head + std::string(size - head.size() - tail.size(), 'a') + tail;
}

TEST(ListItemStreams, TheProbeKeepsSixteenBytesAndReadsAZoneIdentifierWhole) {
    const std::tuple<std::u16string, std::string, std::vector<std::uint32_t>> cases[] = {
        {u"s", "0123456789", {4096, 4086}},
        {u"s", std::string(4096, 'x'), {4096, 1}},
        {u"zone.identifier", zoneContentOfSize(100), {4096, 3996}},
        {u"Zone.Identifier", zoneContentOfSize(4097), {4097, 1}},
        {u"ZONE.IDENTIFIER", zoneContentOfSize(1048576), {1048576, 1}},
        {u"Zone.Identifier", zoneContentOfSize(1048577), {4096, 1}},  // too large to parse
    };
    for (const auto& [name, content, reads] : cases) {
        Scan l;
        l.fs.addStream(kHost, name, content);
        l.list(kHost);
        ASSERT_EQ(l.records.size(), 1u);
        const StreamRecord& row = l.records[0];
        const bool whole = content.size() <= 1048576;
        EXPECT_EQ(std::string(row.head.begin(), row.head.begin() + row.headLength),
                  content.substr(0, 16));
        EXPECT_EQ(row.unreadable, !whole) << content.size();
        EXPECT_EQ(row.zone.isZoneIdentifier, name != u"s");
        EXPECT_EQ(row.zone.zone, name != u"s" && whole ? 3 : kNoZone) << content.size();
        EXPECT_EQ(l.fs.log().readSizes, reads) << content.size();
    }
}

TEST(ListItemStreams, AZeroLengthStreamIsNeverOpenedAndAPartlyReadOneIsUnreadable) {
    Scan l;
    l.fs.addStream(kHost, u"Zone.Identifier", "");
    l.fs.refuse(FakeOp::openStream, u"");
    EXPECT_EQ(l.list(kHost), (ScanStats{.itemsWithStreams = 1, .streams = 1}));

    // The one-byte read that checks for the end fails: the bytes read so far are
    // not trusted as the whole stream.
    Scan part;
    part.fs.addStream(kHost, u"Zone.Identifier", zoneContentOfSize(5000));
    part.fs.setFault(FakeOp::read, u"", {31, 5000});
    part.list(kHost);
    ASSERT_EQ(part.records.size(), 1u);
    EXPECT_EQ(std::tuple(part.records[0].headLength, part.records[0].zone.zoneIdPresent),
              std::tuple(0u, false));
    EXPECT_EQ(part.placeLog.lines(),
              std::vector<std::string>{"unreadable|C:\\dl\\setup.txt:Zone.Identifier:$DATA|31"});
}

TEST(ListItemStreams, AFolderStreamIsOpenedAsAFolder) {
    Scan l(PathStyle::posix);
    l.fs.addFolder(u"/srv/share");
    l.fs.addStream(u"/srv/share", u"DosStream.x", "MZ\x90");
    l.list(u"/srv/share", true, {0x10});
    ASSERT_EQ(l.records.size(), 1u);
    // MZ content, so it was read.
    EXPECT_EQ(std::tuple(l.records[0].hostIsFolder, l.records[0].severity), std::tuple(true, 2u));
}

}  // namespace
}  // namespace streamscan
