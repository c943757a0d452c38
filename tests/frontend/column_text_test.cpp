#include "frontend/column_text.h"

#include <gtest/gtest.h>

#include "engine/value_text.h"

namespace tessalin {
namespace {

using streamscan::StreamRecord;

TEST(ColumnText, EachColumnOfAStreamRowAndAnItemRow) {
    // Hosts that are their own parents: their paths are the same in either path style.
    const StreamRecord stream{.hostFolder = u"/tool.zip",
                              .streamName = u"Zone.Identifier",
                              .streamType = u"$Data",
                              .streamSize = 26,
                              .hostAttributes = 0x2,
                              .hostModified = 133000000000000000ull,
                              .zone = {.isZoneIdentifier = true,
                                       .zoneIdParsed = true,
                                       .zone = 3,
                                       .hostUrl = u"https://example.com/x.zip"},
                              .severity = 2,
                              .note = u"Downloaded"};
    const StreamRecord item{.hostFolder = u"/plain.txt", .hostAttributes = 0x1};
    const struct {
        int column;
        std::u16string stream, item;
    } cases[] = {
        {kColumnSeverity, u"Alert", u""},
        {kColumnPath, u"/tool.zip", u"/plain.txt"},
        {kColumnStream, u"Zone.Identifier", u"(no alternate streams)"},
        {kColumnSize, u"26 B", u""},
        {kColumnZone, u"Internet", u""},
        {kColumnHostUrl, u"https://example.com/x.zip", u""},
        {kColumnNote, u"Downloaded", u""},
        {kColumnModified, streamscan::timeText(stream.hostModified), streamscan::timeText(0)},
        {kColumnAttributes, u"Hidden", u"Read-only"},
        {-1, u"", u""},
        {kColumnCount, u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(columnText(stream, c.column), c.stream) << c.column;
        EXPECT_EQ(columnText(item, c.column), c.item) << c.column;
    }
    // The type is shown only when it is not $DATA.
    EXPECT_EQ(columnText({.streamName = u"n", .streamType = u"$EA"}, kColumnStream), u"n:$EA");
    EXPECT_EQ(columnText({.streamName = u"n", .streamType = u"$DATA2"}, kColumnStream),
              u"n:$DATA2");
}

TEST(ColumnText, NoteSaysOnceThatContentCouldNotBeRead) {
    const struct {
        bool unreadable;
        std::u16string note, shown;
    } cases[] = {
        {false, u"Hidden executable", u"Hidden executable"},
        {true, u"", u"Stream content could not be read"},
        {true, u"Zone.Identifier could not be read whole",
         u"Zone.Identifier could not be read whole"},
        {true, u"Could Not Be Read", u"Could Not Be Read; content could not be read"},
        {true, u"Large stream", u"Large stream; content could not be read"},
    };
    for (const auto& c : cases) {
        const StreamRecord record{.streamName = u"s", .unreadable = c.unreadable, .note = c.note};
        EXPECT_EQ(columnText(record, kColumnNote), c.shown);
    }
}

}  // namespace
}  // namespace tessalin
