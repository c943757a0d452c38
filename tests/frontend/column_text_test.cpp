#include "frontend/column_text.h"

#include <gtest/gtest.h>

#include "engine/path_forms.h"
#include "engine/value_text.h"

namespace tessalin {
namespace {

using streamscan::StreamRecord;

StreamRecord streamRow(std::u16string name, std::u16string type) {
    StreamRecord r;
    r.hostFolder =
        streamscan::kNativePathStyle == streamscan::PathStyle::windows ? u"C:\\dl" : u"/dl";
    r.hostName = u"tool.zip";
    r.streamName = std::move(name);
    r.streamType = std::move(type);
    r.streamSize = 26;
    return r;
}

TEST(ColumnText, StreamColumnShowsTypeOnlyWhenItIsNotData) {
    struct Case {
        const char16_t* type;
        const char16_t* expected;
    } cases[] = {
        {u"$DATA", u"notes"}, {u"$data", u"notes"},   {u"$Data", u"notes"},
        {u"", u"notes"},      {u"$EA", u"notes:$EA"}, {u"$DATA2", u"notes:$DATA2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(columnText(streamRow(u"notes", c.type), kColumnStream), c.expected);
    }
}

TEST(ColumnText, ItemRowLeavesStreamCellsEmptyAndKeepsHostFacts) {
    StreamRecord item = streamRow(u"", u"");
    item.streamSize = 0;
    item.hostAttributes = 0x2;  // hidden
    item.hostModified = 133000000000000000ull;
    EXPECT_EQ(columnText(item, kColumnSeverity), u"");
    EXPECT_EQ(columnText(item, kColumnSize), u"");
    EXPECT_EQ(columnText(item, kColumnStream), u"(no alternate streams)");
    EXPECT_EQ(columnText(item, kColumnAttributes), u"Hidden");
    EXPECT_FALSE(columnText(item, kColumnModified).empty());
    EXPECT_EQ(columnText(item, kColumnPath), streamscan::hostPathOf(item));
}

TEST(ColumnText, StreamRowShowsSeveritySizeZoneAndUrl) {
    StreamRecord r = streamRow(u"Zone.Identifier", u"$DATA");
    r.severity = 2;
    r.zone.isZoneIdentifier = true;
    r.zone.zoneIdPresent = true;
    r.zone.zoneIdParsed = true;
    r.zone.zone = 3;
    r.zone.zoneId = 3;
    r.zone.hostUrl = u"https://example.com/x.zip";
    EXPECT_EQ(columnText(r, kColumnSeverity), u"Alert");
    EXPECT_EQ(columnText(r, kColumnSize), u"26 B");
    EXPECT_NE(columnText(r, kColumnZone).find(u"Internet"), std::u16string::npos);
    EXPECT_EQ(columnText(r, kColumnHostUrl), u"https://example.com/x.zip");
    r.severity = 0;
    EXPECT_EQ(columnText(r, kColumnSeverity), u"");
    EXPECT_EQ(columnText(r, -1), u"");
    EXPECT_EQ(columnText(r, kColumnCount), u"");
}

TEST(ColumnText, NoteSaysOnceThatContentCouldNotBeRead) {
    struct Case {
        bool unreadable;
        const char16_t* note;
        const char16_t* expected;
    } cases[] = {
        {false, u"", u""},
        {false, u"Hidden executable", u"Hidden executable"},
        {true, u"", u"Stream content could not be read"},
        {true, u"Zone.Identifier could not be read whole",
         u"Zone.Identifier could not be read whole"},
        {true, u"could not be read", u"could not be read"},
        {true, u"Could Not Be Read", u"Could Not Be Read; content could not be read"},
        {true, u"Large stream", u"Large stream; content could not be read"},
    };
    for (const auto& c : cases) {
        StreamRecord r = streamRow(u"s", u"$DATA");
        r.unreadable = c.unreadable;
        r.note = c.note;
        EXPECT_EQ(noteText(r), c.expected);
        EXPECT_EQ(columnText(r, kColumnNote), c.expected);
    }
}

}  // namespace
}  // namespace tessalin
