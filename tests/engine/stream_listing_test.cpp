#include "engine/stream_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/path_forms.h"
#include "engine/unicode.h"
#include "support/fake_file_system.h"
#include "support/places.h"

namespace streamscan {
namespace {

constexpr char16_t kHost[] = u"C:\\dl\\setup.txt";

// Zone.Identifier content of exactly `size` bytes whose ZoneId line comes last,
// so that the zone is known only when the whole stream was read.
std::string zoneContentOfSize(std::size_t size) {
    const std::string head = "[ZoneTransfer]\r\nPad=";
    const std::string tail = "\r\nZoneId=3\r\n";
    return head + std::string(size - head.size() - tail.size(), 'a') + tail;
}

// Lists the streams of one item the way the walk does, collecting the rows.
struct Listing {
    explicit Listing(PathStyle style = PathStyle::windows) : fs(style) {}

    void run(const std::u16string& host, bool isFolder = false, std::uint32_t attributes = 0x20,
             std::uint64_t size = 0, std::uint64_t lastWrite = 0) {
        ScanContext context{fs,
                            options,
                            [this](const StreamRecord& r) { rows.push_back(r); },
                            ContinueCheck(),
                            ProgressSink(),
                            stats,
                            placeLog.sink()};
        HostFacts facts(ItemFacts{attributes, size, lastWrite});
        listItemStreams(context, host, isFolder, facts);
        stats = context.stats;
        expectPlacesAddUp(stats, placeLog.places);
    }
    std::vector<std::string> streamNames() const {
        std::vector<std::string> names;
        for (const auto& row : rows) {
            names.push_back(utf8ForDisplay(row.streamName) + "|" + utf8ForDisplay(row.streamType));
        }
        return names;
    }

    FakeFileSystem fs;
    ScanOptions options;
    ScanStats stats;
    PlaceLog placeLog;
    std::vector<StreamRecord> rows;
};

TEST(SplitStreamName, TakesNameAndTypeFromTheListedForm) {
    struct Case {
        std::u16string listed;
        std::u16string name;
        std::u16string type;
    };
    const Case cases[] = {
        {u":Zone.Identifier:$DATA", u"Zone.Identifier", u"$DATA"},
        {u"::$DATA", u"", u"$DATA"},
        {u":$DATA", u"$DATA", u""},
        {u"noColons", u"noColons", u""},
        {u"a:b", u"a", u"b"},
        {u":a:b:c", u"a", u"b:c"},
        {u"::", u"", u""},
        {u"", u"", u""},
    };
    for (const auto& c : cases) {
        const auto [name, type] = splitStreamName(c.listed);
        EXPECT_EQ(name, c.name) << utf8ForDisplay(c.listed);
        EXPECT_EQ(type, c.type) << utf8ForDisplay(c.listed);
    }
}

TEST(IsMainStream, OnlyTheUnnamedDataOrIndexStream) {
    EXPECT_TRUE(isMainStream(u"", u""));
    EXPECT_TRUE(isMainStream(u"", u"$DATA"));
    EXPECT_TRUE(isMainStream(u"", u"$data"));
    EXPECT_TRUE(isMainStream(u"", u"$Index_Allocation"));
    EXPECT_FALSE(isMainStream(u"", u"$EA"));
    EXPECT_FALSE(isMainStream(u"", u"$DATA "));
    EXPECT_FALSE(isMainStream(u"$DATA", u""));
    EXPECT_FALSE(isMainStream(u"x", u"$DATA"));
}

TEST(ListItemStreams, EmitsOneRowPerAlternateStreamWithTheHostFields) {
    Listing l;
    l.fs.addFile(kHost, "plain text");
    l.fs.addStream(kHost, u"one", "1");
    l.fs.addStream(kHost, u"two", "22");
    l.fs.addStream(kHost, u"three", "");
    l.run(kHost, false, 0x21, 10, 133000000000000000ull);

    EXPECT_EQ(l.streamNames(), (std::vector<std::string>{"one|$DATA", "two|$DATA", "three|$DATA"}));
    EXPECT_EQ(l.stats.streams, 3u);
    EXPECT_EQ(l.stats.itemsWithStreams, 1u);
    ASSERT_EQ(l.rows.size(), 3u);
    const StreamRecord& two = l.rows[1];
    EXPECT_EQ(two.hostFolder, u"C:\\dl");
    EXPECT_EQ(two.hostName, u"setup.txt");
    EXPECT_EQ(two.streamSize, 2u);
    EXPECT_EQ(two.hostAttributes, 0x21u);
    EXPECT_EQ(two.hostSize, 10u);
    EXPECT_EQ(two.hostModified, 133000000000000000ull);
    EXPECT_FALSE(two.hostIsFolder);
    EXPECT_EQ(two.headLength, 2u);
    EXPECT_EQ(two.head[0], '2');
    EXPECT_EQ(l.fs.openStreamListings(), 0);
    EXPECT_EQ(l.fs.openReaders(), 0);
}

TEST(ListItemStreams, OddListedNames) {
    Listing l;
    l.fs.addFile(kHost, "MZ host bytes");
    l.fs.addListedStream(kHost, u"::$DATA", "again the main stream");
    l.fs.addListedStream(kHost, u"::$INDEX_ALLOCATION", "");
    l.fs.addListedStream(kHost, u"noColons", "n");
    l.fs.addListedStream(kHost, u":$DATA", "d");
    l.fs.addListedStream(kHost, u"::$EA", "ea");
    l.fs.setListedStreamSize(kHost, u"::$EA", 5);
    l.run(kHost);

    EXPECT_EQ(l.streamNames(), (std::vector<std::string>{"noColons|", "$DATA|", "|$EA"}));
    EXPECT_EQ(l.stats.streams, 3u);
    EXPECT_EQ(l.stats.itemsWithStreams, 1u);
    ASSERT_EQ(l.rows.size(), 3u);
    EXPECT_EQ(l.rows[0].headLength, 1u);
    EXPECT_FALSE(l.rows[1].unreadable);
    EXPECT_EQ(l.rows[1].head[0], 'd');
    // The unnamed stream of another type reads the host itself, and, having no
    // name, draws no note even though the host starts with MZ.
    const StreamRecord& unnamed = l.rows[2];
    EXPECT_EQ(unnamed.headLength, 13u);
    EXPECT_EQ(unnamed.head[0], 'M');
    EXPECT_EQ(unnamed.severity, 0u);
    EXPECT_TRUE(unnamed.note.empty());
}

TEST(ListItemStreams, ItemRowOnlyForItemsWithoutStreamsAndWhenAskedFor) {
    struct Case {
        const char* label;
        bool folder;
        bool showItems;
        std::size_t rows;
    };
    const Case cases[] = {
        {"file, only the main stream", false, false, 0},
        {"file, only the main stream, shown", false, true, 1},
        {"folder, nothing listed (38)", true, false, 0},
        {"folder, nothing listed (38), shown", true, true, 1},
    };
    for (const auto& c : cases) {
        Listing l;
        l.options.showItemsWithoutStreams = c.showItems;
        if (c.folder) {
            l.fs.addFolder(u"C:\\dir");
        } else {
            l.fs.addFile(u"C:\\dir", "content");
        }
        l.run(u"C:\\dir", c.folder, c.folder ? 0x10 : 0x20, 7, 99);
        ASSERT_EQ(l.rows.size(), c.rows) << c.label;
        EXPECT_EQ(l.stats.streams, 0u) << c.label;
        EXPECT_EQ(l.stats.itemsWithStreams, 0u) << c.label;
        EXPECT_EQ(l.stats.listFailed + l.stats.accessDenied, 0u) << c.label;
        if (c.rows == 1) {
            const StreamRecord& row = l.rows[0];
            EXPECT_EQ(row.hostFolder, u"C:\\") << c.label;
            EXPECT_EQ(row.hostName, u"dir") << c.label;
            EXPECT_TRUE(row.streamName.empty()) << c.label;
            EXPECT_EQ(row.hostIsFolder, c.folder) << c.label;
            EXPECT_EQ(row.hostSize, 7u) << c.label;
            EXPECT_EQ(row.hostModified, 99u) << c.label;
            EXPECT_EQ(row.severity, 0u) << c.label;
        }
    }
}

TEST(ListItemStreams, FailureTable) {
    struct Case {
        const char* label;
        FakeOp op;
        FakeFault fault;
        std::vector<std::string> rows;
        std::uint64_t accessDenied;
        std::uint64_t listFailed;
        std::uint64_t unreadable;
        std::uint64_t itemsWithStreams;
    };
    // The file lists ::$DATA, a, b, c.
    const Case cases[] = {
        {"enumeration refused", FakeOp::startStreams, {5, 0}, {}, 1, 0, 0, 0},
        {"enumeration fails", FakeOp::startStreams, {21, 0}, {}, 0, 1, 0, 0},
        {"breaks off refused", FakeOp::startStreams, {5, 3}, {"a", "b"}, 1, 0, 0, 1},
        {"breaks off failing", FakeOp::startStreams, {59, 2}, {"a"}, 0, 1, 0, 1},
        {"breaks off before a row", FakeOp::startStreams, {59, 1}, {}, 0, 1, 0, 0},
        {"ends with 18", FakeOp::startStreams, {18, 4}, {"a", "b", "c"}, 0, 0, 0, 1},
        {"open refused", FakeOp::openStream, {5, 0}, {"a", "b", "c"}, 0, 0, 3, 1},
        {"read fails", FakeOp::read, {23, 0}, {"a", "b", "c"}, 0, 0, 3, 1},
    };
    for (const auto& c : cases) {
        for (const bool showItems : {false, true}) {
            Listing l;
            l.options.showItemsWithoutStreams = showItems;
            l.fs.addFile(kHost, "x");
            l.fs.addStream(kHost, u"a", "aaa");
            l.fs.addStream(kHost, u"b", "bbb");
            l.fs.addStream(kHost, u"c", "ccc");
            l.fs.setFault(c.op, u"", c.fault);
            l.run(kHost);
            std::vector<std::string> names;
            for (const auto& row : l.rows) {
                names.push_back(utf8ForDisplay(row.streamName));
                EXPECT_EQ(row.unreadable, c.unreadable > 0) << c.label;
                EXPECT_EQ(row.headLength, c.unreadable > 0 ? 0u : 3u) << c.label;
            }
            // A broken-off enumeration is never mistaken for an item without streams.
            EXPECT_EQ(names, c.rows) << c.label << " show items " << showItems;
            EXPECT_EQ(l.stats.accessDenied, c.accessDenied) << c.label;
            EXPECT_EQ(l.stats.listFailed, c.listFailed) << c.label;
            EXPECT_EQ(l.stats.unreadableStreams, c.unreadable) << c.label;
            EXPECT_EQ(l.stats.itemsWithStreams, c.itemsWithStreams) << c.label;
            EXPECT_EQ(l.stats.streams, c.rows.size()) << c.label;
            EXPECT_EQ(l.fs.openStreamListings(), 0) << c.label;
        }
    }
}

TEST(ListItemStreams, ProbeKeepsSixteenBytesAndReadsZoneIdentifierWhole) {
    struct Case {
        const char* label;
        std::u16string name;
        std::string content;
        std::uint64_t headLength;
        bool unreadable;
        std::uint32_t zone;
        std::vector<std::uint32_t> reads;
    };
    const Case cases[] = {
        {"10 bytes", u"s", "0123456789", 10, false, kNoZone, {4096, 4086}},
        {"4096 bytes", u"s", std::string(4096, 'x'), 16, false, kNoZone, {4096, 1}},
        {"5000 bytes", u"s", std::string(5000, 'x'), 16, false, kNoZone, {4096, 1}},
        {"zone, 100 bytes", u"zone.identifier", zoneContentOfSize(100), 16, false, 3, {4096, 3996}},
        {"zone, 4097 bytes", u"Zone.Identifier", zoneContentOfSize(4097), 16, false, 3, {4097, 1}},
        {"zone, 1048576 bytes",
         u"ZONE.IDENTIFIER",
         zoneContentOfSize(1048576),
         16,
         false,
         3,
         {1048576, 1}},
        {"zone, 1048577 bytes",
         u"Zone.Identifier",
         zoneContentOfSize(1048577),
         16,
         true,
         kNoZone,
         {4096, 1}},
        {"zone, 2 MiB",
         u"Zone.Identifier",
         zoneContentOfSize(2 * 1048576),
         16,
         true,
         kNoZone,
         {4096, 1}},
    };
    for (const auto& c : cases) {
        Listing l;
        l.fs.addFile(kHost, "x");
        l.fs.addStream(kHost, c.name, c.content);
        l.run(kHost);
        ASSERT_EQ(l.rows.size(), 1u) << c.label;
        const StreamRecord& row = l.rows[0];
        EXPECT_EQ(row.streamSize, c.content.size()) << c.label;
        EXPECT_EQ(row.headLength, c.headLength) << c.label;
        EXPECT_EQ(std::string(row.head.begin(), row.head.begin() + row.headLength),
                  c.content.substr(0, c.headLength))
            << c.label;
        EXPECT_EQ(row.unreadable, c.unreadable) << c.label;
        EXPECT_EQ(l.stats.unreadableStreams, c.unreadable ? 1u : 0u) << c.label;
        const bool isZone = c.zone != kNoZone || c.unreadable;
        EXPECT_EQ(row.zone.isZoneIdentifier, isZone) << c.label;
        EXPECT_EQ(row.zone.zone, c.zone) << c.label;
        EXPECT_EQ(row.zone.zoneIdPresent, c.zone != kNoZone) << c.label;
        EXPECT_EQ(l.fs.readSizes(), c.reads) << c.label;
    }
}

TEST(ListItemStreams, AZoneIdentifierTooLargeToReadWholeIsAssessedAsSuch) {
    Listing l;
    l.fs.addFile(kHost, "x");
    l.fs.addStream(kHost, u"Zone.Identifier", zoneContentOfSize(1048577));
    l.options.largeStreamThreshold = 4 * 1048576;  // keep the large-stream rule out of the way
    l.run(kHost);
    ASSERT_EQ(l.rows.size(), 1u);
    EXPECT_EQ(l.rows[0].severity, 1u);
    EXPECT_EQ(l.rows[0].note, u"Zone.Identifier stream could not be read");
}

TEST(ListItemStreams, ZeroLengthStreamsAreNeverOpened) {
    Listing l;
    l.fs.addFile(kHost, "x");
    l.fs.addStream(kHost, u"Zone.Identifier", "");
    l.fs.addStream(kHost, u"empty", "");
    l.fs.refuse(FakeOp::openStream, u"");
    l.run(kHost);
    ASSERT_EQ(l.rows.size(), 2u);
    EXPECT_EQ(l.fs.calls(FakeOp::openStream), 0u);
    for (const auto& row : l.rows) {
        EXPECT_FALSE(row.unreadable);
        EXPECT_EQ(row.headLength, 0u);
    }
    EXPECT_TRUE(l.rows[0].zone.isZoneIdentifier);
    EXPECT_FALSE(l.rows[0].zone.zoneIdPresent);
    EXPECT_EQ(l.rows[0].zone.zoneId, -1);
    EXPECT_EQ(l.stats.unreadableStreams, 0u);
}

TEST(ListItemStreams, AZoneIdentifierReadInPartKeepsItsHeadButNotItsZone) {
    // The one-byte read that checks for the end fails: the bytes read so far are
    // not trusted as the whole stream.
    Listing l;
    l.fs.addFile(kHost, "x");
    const std::string content = zoneContentOfSize(5000);
    l.fs.addStream(kHost, u"Zone.Identifier", content);
    l.fs.setFault(FakeOp::read, u"", {31, 5000});
    l.run(kHost);
    ASSERT_EQ(l.rows.size(), 1u);
    EXPECT_TRUE(l.rows[0].unreadable);
    EXPECT_EQ(l.rows[0].headLength, 0u);
    EXPECT_TRUE(l.rows[0].zone.isZoneIdentifier);
    EXPECT_FALSE(l.rows[0].zone.zoneIdPresent);
}

TEST(ListItemStreams, FolderStreamsAreOpenedAsAFolder) {
    Listing l(PathStyle::posix);
    l.fs.addFolder(u"/srv/share");
    l.fs.addStream(u"/srv/share", u"DosStream.x", "MZ\x90");
    l.run(u"/srv/share", true, 0x10);
    ASSERT_EQ(l.rows.size(), 1u);
    EXPECT_EQ(l.rows[0].hostFolder, u"/srv");
    EXPECT_EQ(l.rows[0].hostName, u"share");
    EXPECT_TRUE(l.rows[0].hostIsFolder);
    EXPECT_FALSE(l.rows[0].unreadable);
    EXPECT_EQ(l.rows[0].severity, 2u);  // MZ content
}

TEST(ReadStreamBytes, AsksForAtMostOneMebibytePerCall) {
    FakeFileSystem fs;
    fs.addFile(u"C:\\big", "x");
    fs.addStream(u"C:\\big", u"s", std::string(2 * 1048576 + 524288, 'b'));
    const StreamBytes read = readStreamBytes(fs, u"C:\\big", u"s", u"$DATA", false, 3 * 1048576);
    EXPECT_TRUE(read.ok);
    EXPECT_TRUE(read.reachedEnd);
    EXPECT_EQ(read.bytes.size(), 2u * 1048576 + 524288);
    EXPECT_EQ(fs.readSizes(), (std::vector<std::uint32_t>{1048576, 1048576, 1048576, 524288}));

    const StreamBytes missing = readStreamBytes(fs, u"C:\\big", u"nope", u"$DATA", false, 4096);
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(fs.openReaders(), 0);
}

}  // namespace
}  // namespace streamscan
