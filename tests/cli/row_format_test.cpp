#include "cli/row_format.h"

#include <gtest/gtest.h>

#include "engine/unicode.h"
#include "frontend/column_text.h"

namespace tessalin::cli {
namespace {

using streamscan::StreamRecord;

// The host is its own parent, so its path is the same in either path style.
StreamRecord streamRow(std::u16string host, std::uint32_t severity = 0, std::u16string note = {}) {
    return {.hostFolder = host,
            .streamName = u"s",
            .streamSize = 5,
            .severity = severity,
            .note = note};
}

TEST(CliRows, FixedColumnsFirstThenThePathThatOnlyPushesTheNote) {
    EXPECT_EQ(rowLayoutForWidth(120).pathWidth, 39);
    EXPECT_EQ(rowLayoutForWidth(50).pathWidth, kMinimumPathWidth);
    const RowLayout layout{30};
    const std::string row = formatRow(streamRow(u"/d", 2, u"why"), layout, false);
    EXPECT_EQ(row, "Alert" + std::string(11, ' ') + "5 B" + std::string(20, ' ') + "/d:s:$DATA" +
                       std::string(22, ' ') + "why\n");
    const std::string header = formatHeader(layout);
    EXPECT_EQ(header.find("Path"), row.find("/d"));
    EXPECT_EQ(header.find("Note"), row.find("why"));
    const std::string longPath = "/" + std::string(40, 'n');
    EXPECT_EQ(formatRow(streamRow(streamscan::decodeName(longPath), 0, u"why"), layout, false),
              std::string(16, ' ') + "5 B" + std::string(20, ' ') + longPath + ":s:$DATA  why\n");
    // An item row says where the note would be that it has no stream, and ends without blanks.
    const std::string item = formatRow({.hostFolder = u"/plain.txt"}, layout, true);
    EXPECT_EQ(item, std::string(39, ' ') + "/plain.txt" + std::string(22, ' ') +
                        streamscan::utf8ForDisplay(columnText({}, kColumnStream)) + "\n");
}

TEST(CliRows, HostileNamesAreShownAsMarkersAndNeverReachTheTerminalRaw) {
    StreamRecord record =
        streamRow(u"/e\x1b[31m\u202E" + streamscan::decodeName("\xFF"), 0, u"a\nb");
    record.unreadable = true;  // the note says so in the list's words
    const std::string row = formatRow(record, {30}, false);
    EXPECT_NE(row.find("/e<U+001B>[31m<U+202E><U+DCFF>:s:$DATA"), std::string::npos) << row;
    EXPECT_TRUE(row.ends_with("  " + consoleText(noteText(record)) + "\n")) << row;
    EXPECT_EQ(consoleText(u"a\nb"), "a<U+000A>b");
}

TEST(CliRows, OnlyFlaggedRowsAreColouredAndOnlyWhenAsked) {
    const std::tuple<std::uint32_t, bool, std::string, std::string> cases[] = {
        {2, true, "\x1b[31mAlert", "\x1b[0m\n"},
        {1, true, "\x1b[33mNotice", "\x1b[0m\n"},
        {0, true, "        ", "$DATA\n"},
        {2, false, "Alert ", "$DATA\n"},
    };
    for (const auto& [severity, colour, start, end] : cases) {
        const std::string row = formatRow(streamRow(u"/a", severity), {30}, colour);
        EXPECT_EQ(row.substr(0, start.size()), start);
        EXPECT_EQ(row.substr(row.size() - end.size()), end);
    }
}

TEST(CliRows, ColourNeedsATerminalAndNoOptOut) {
    const std::tuple<bool, const char*, const char*, bool> cases[] = {
        {true, nullptr, "xterm-256color", true},
        {true, nullptr, nullptr, true},
        {false, nullptr, "xterm", false},
        {true, "1", "xterm", false},
        {true, "", "xterm", true},  // NO_COLOR counts only when it holds something
        {true, nullptr, "dumb", false},
    };
    for (const auto& [terminal, noColor, term, wanted] : cases) {
        EXPECT_EQ(colourWanted(terminal, noColor, term), wanted) << (term ? term : "no TERM");
    }
}

TEST(CliProgress, LineFitsTheTerminalAndKeepsTheEndOfTheFolder) {
    const streamscan::ScanStats stats{.files = 1234, .folders = 5};
    const std::u16string folder = u"/" + std::u16string(300, u'x') + u"/last\u202E";
    const std::string line = progressLine(folder, stats, 7, 80);
    EXPECT_EQ(displayWidth(line), 79);
    EXPECT_NE(line.find(" | 7 streams listed | Scanning: ...xxx"), std::string::npos) << line;
    EXPECT_TRUE(line.ends_with("xxx/last<U+202E>"));
    EXPECT_TRUE(progressLine(u"/d", stats, 0, 200).ends_with("Scanning: /d"));
    // Whatever the width, the line never reaches the last column.
    for (int width : {1, 5, 20, 40}) {
        EXPECT_LT(displayWidth(progressLine(folder, stats, 0, width)), std::max(width, 2));
    }
}

}  // namespace
}  // namespace tessalin::cli
