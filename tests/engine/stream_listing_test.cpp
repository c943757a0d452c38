#include "engine/stream_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/unicode.h"
#include "support/fake_file_system.h"
#include "support/places.h"
#include "support/scan_stats_printer.h"

namespace streamscan {
namespace {

constexpr char16_t kHost[] = u"C:\\dl\\setup.txt";

// Lists the streams of one item the way the walk does, keeping the rows.
struct Listing {
    explicit Listing(PathStyle style = PathStyle::windows) : fs(style) {}

    void run(const std::u16string& host, bool isFolder = false, ItemFacts facts = {0x20}) {
        const auto sink = [this](const StreamRecord& r) {
            rows.push_back(r);
            names.push_back(utf8ForDisplay(r.streamName) + "|" + utf8ForDisplay(r.streamType));
        };
        ScanContext context{fs, options, sink, nullptr, nullptr, {}, placeLog.sink()};
        HostFacts hostFacts(facts);
        listItemStreams(context, host, isFolder, hostFacts);
        stats = context.stats;
        expectPlacesAddUp(stats, placeLog.places);
        EXPECT_EQ(fs.log().open, FakeLog().open);
    }

    FakeFileSystem fs;
    ScanOptions options;
    ScanStats stats;
    PlaceLog placeLog;
    std::vector<StreamRecord> rows;
    std::vector<std::string> names;  // "name|type"
};

TEST(SplitStreamName, TakesNameAndTypeFromTheListedFormAndFindsTheMainStream) {
    const std::tuple<std::u16string, std::u16string, bool> cases[] = {
        {u":Zone.Identifier:$DATA", u"Zone.Identifier|$DATA", false},
        {u"::$data", u"|$data", true},
        {u"::$Index_Allocation", u"|$Index_Allocation", true},
        {u"::$DATA ", u"|$DATA ", false},
        {u":$DATA", u"$DATA|", false},
        {u"noColons", u"noColons|", false},
        {u":a:b:c", u"a|b:c", false},
        {u"", u"|", true},
    };
    for (const auto& [listed, split, main] : cases) {
        const auto [name, type] = splitStreamName(listed);
        EXPECT_EQ(name + u"|" + type, split);
        EXPECT_EQ(isMainStream(name, type), main) << utf8ForDisplay(listed);
    }
}

TEST(ListItemStreams, OneRowPerAlternateStreamWithTheHostFields) {
    Listing l;
    l.fs.addFile(kHost, "MZ host");
    for (const char16_t* listed : {u":one:$DATA", u"::$DATA", u"noColons", u":$DATA", u"::$EA"}) {
        l.fs.addListedStream(kHost, listed, "22");
    }
    l.run(kHost, false, {0x21, 7, 133000000000000000ull});
    EXPECT_EQ(l.names, (std::vector<std::string>{"one|$DATA", "noColons|", "$DATA|", "|$EA"}));
    EXPECT_EQ(l.stats, (ScanStats{.itemsWithStreams = 1, .streams = 4}));
    ASSERT_EQ(l.rows.size(), 4u);
    const StreamRecord& one = l.rows[0];
    EXPECT_EQ(one.hostFolder + u"|" + one.hostName, u"C:\\dl|setup.txt");
    EXPECT_EQ(one.streamSize, 2u);
    EXPECT_EQ(one.hostAttributes, 0x21u);
    EXPECT_EQ(one.hostSize, 7u);
    EXPECT_EQ(one.hostModified, 133000000000000000ull);
    EXPECT_EQ(std::string(one.head.begin(), one.head.begin() + one.headLength), "22");
    // The unnamed stream of another type reads the host itself, and, having no
    // name, draws no note even though the host starts with MZ.
    EXPECT_EQ(l.rows[3].headLength, 7u);
    EXPECT_EQ(l.rows[3].severity, 0u);
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
        Listing l;
        l.options.showItemsWithoutStreams = true;
        for (const char16_t* name : {u"a", u"b", u"c"}) {
            l.fs.addStream(kHost, name, "abc");
        }
        l.fs.setFault(op, u"", fault);
        l.run(kHost);
        EXPECT_EQ(l.names, names) << fault.error << " after " << fault.after;
        EXPECT_EQ(l.stats, stats) << fault.error << " after " << fault.after;
        for (const auto& row : l.rows) {
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
        Listing l;
        l.fs.addStream(kHost, name, content);
        l.run(kHost);
        ASSERT_EQ(l.rows.size(), 1u);
        const StreamRecord& row = l.rows[0];
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
    Listing l;
    l.fs.addStream(kHost, u"Zone.Identifier", "");
    l.fs.refuse(FakeOp::openStream, u"");
    l.run(kHost);
    EXPECT_EQ(l.fs.calls(FakeOp::openStream), 0u);
    EXPECT_EQ(l.stats, (ScanStats{.itemsWithStreams = 1, .streams = 1}));

    // The one-byte read that checks for the end fails: the bytes read so far are
    // not trusted as the whole stream.
    Listing part;
    part.fs.addStream(kHost, u"Zone.Identifier", zoneContentOfSize(5000));
    part.fs.setFault(FakeOp::read, u"", {31, 5000});
    part.run(kHost);
    ASSERT_EQ(part.rows.size(), 1u);
    EXPECT_EQ(part.rows[0].headLength, 0u);
    EXPECT_FALSE(part.rows[0].zone.zoneIdPresent);
    EXPECT_EQ(part.placeLog.lines(),
              std::vector<std::string>{"unreadable|C:\\dl\\setup.txt:Zone.Identifier:$DATA|31"});
}

TEST(ListItemStreams, AFolderStreamIsOpenedAsAFolder) {
    Listing l(PathStyle::posix);
    l.fs.addFolder(u"/srv/share");
    l.fs.addStream(u"/srv/share", u"DosStream.x", "MZ\x90");
    l.run(u"/srv/share", true, {0x10});
    ASSERT_EQ(l.rows.size(), 1u);
    EXPECT_TRUE(l.rows[0].hostIsFolder);
    EXPECT_EQ(l.rows[0].severity, 2u);  // MZ content, so it was read
}

}  // namespace
}  // namespace streamscan
