#include "cli/row_format.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/assessment.h"
#include "engine/file_system.h"
#include "engine/unicode.h"

namespace tessalin::cli {
namespace {

using streamscan::StreamRecord;

#ifdef _WIN32
constexpr char16_t kFolder[] = u"C:\\d";
constexpr char kSeparator = '\\';
#else
constexpr char16_t kFolder[] = u"/d";
constexpr char kSeparator = '/';
#endif

std::string folderText() {
    return streamscan::utf8ForDisplay(kFolder);
}

StreamRecord streamRow(std::u16string host, std::u16string stream, std::uint64_t size,
                       std::uint32_t severity = 0, std::u16string note = {}) {
    StreamRecord record;
    record.hostFolder = kFolder;
    record.hostName = std::move(host);
    record.streamName = std::move(stream);
    record.streamType = u"$DATA";
    record.streamSize = size;
    record.severity = severity;
    record.note = std::move(note);
    return record;
}

constexpr RowLayout kLayout{30};

TEST(CliRows, ColumnsHaveFixedWidthsAndThePathFillsItsOwn) {
    const StreamRecord record = streamRow(u"a.txt", u"s", 5, streamscan::kSeverityAlert, u"why");
    const std::string path = folderText() + kSeparator + "a.txt:s:$DATA";
    const std::string expected = "Alert   " + std::string(2, ' ') + "      5 B" + "  " +
                                 std::string(16, ' ') + "  " + path +
                                 std::string(30 - path.size(), ' ') + "  why\n";
    EXPECT_EQ(formatRow(record, kLayout, false), expected);

    const std::string header = formatHeader(kLayout);
    // Every column starts where its title does.
    EXPECT_EQ(header.find("Path"), expected.find(folderText()));
    EXPECT_EQ(header.find("Note"), expected.find("why"));
}

TEST(CliRows, ALongPathIsNeverCutAndPushesOnlyTheNote) {
    const std::u16string longName(200, u'n');
    const std::string row = formatRow(streamRow(longName, u"s", 1, 0, u"why"), kLayout, false);
    const std::string shortRow = formatRow(streamRow(u"n", u"s", 1, 0, u"why"), kLayout, false);
    EXPECT_EQ(row.find(folderText()), shortRow.find(folderText()));
    EXPECT_NE(row.find(std::string(200, 'n') + ":s:$DATA  why\n"), std::string::npos);
}

TEST(CliRows, HostileNamesAreShownAsMarkersAndNeverReachTheTerminalRaw) {
    struct Case {
        std::u16string host;
        std::string shown;
    };
    const Case cases[] = {
        {u"tab\there", "tab<U+0009>here"},
        {u"line\r\nbreak", "line<U+000D><U+000A>break"},
        {u"evil\u202Etxt.exe", "evil<U+202E>txt.exe"},
        {u"esc\x1b[31mred", "esc<U+001B>[31mred"},
        {u"fake<U+0041>", "fake<U+003C>U+0041>"},
        // An undecodable byte of a Linux name: its lone surrogate shows as a marker.
        {streamscan::decodeName("bad\xFFname"), "bad<U+DCFF>name"},
        {u"caf\u00E9 \U0001F600", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        StreamRecord record = streamRow(c.host, u"s\x07", 1, 0, u"note\nsplit");
        const std::string row = formatRow(record, kLayout, false);
        EXPECT_NE(row.find(c.shown + ":s<U+0007>:$DATA"), std::string::npos) << row;
        EXPECT_NE(row.find("note<U+000A>split\n"), std::string::npos) << row;
        for (std::size_t i = 0; i + 1 < row.size(); ++i) {
            EXPECT_GE(static_cast<unsigned char>(row[i]), 0x20) << "raw control in " << row;
        }
    }
}

TEST(CliRows, NoteUsesTheListsUnreadableWordingAndItemRowsSayTheyHaveNoStream) {
    StreamRecord unreadable = streamRow(u"a", u"s", 9000);
    unreadable.unreadable = true;
    EXPECT_NE(formatRow(unreadable, kLayout, false).find("  Stream content could not be read\n"),
              std::string::npos);

    StreamRecord item;
    item.hostFolder = kFolder;
    item.hostName = u"plain.txt";
    const std::string row = formatRow(item, kLayout, true);
    EXPECT_EQ(row.find("\x1b"), std::string::npos);
    EXPECT_EQ(row.rfind(std::string(8 + 2 + 9 + 2 + 16 + 2, ' ') + folderText(), 0), 0u) << row;
    EXPECT_NE(row.find("plain.txt  "), std::string::npos);
    EXPECT_NE(row.find("(no alternate streams)\n"), std::string::npos);
    EXPECT_EQ(row.find(":$DATA"), std::string::npos);
}

TEST(CliRows, OnlyFlaggedRowsAreColouredAndOnlyWhenAsked) {
    struct Case {
        std::uint32_t severity;
        bool colour;
        std::string prefix;
    };
    const Case cases[] = {
        {streamscan::kSeverityAlert, true, "\x1b[31mAlert"},
        {streamscan::kSeverityNotice, true, "\x1b[33mNotice"},
        {streamscan::kSeverityNone, true, "        "},
        {streamscan::kSeverityAlert, false, "Alert"},
    };
    for (const Case& c : cases) {
        const std::string row = formatRow(streamRow(u"a", u"s", 1, c.severity), kLayout, c.colour);
        EXPECT_EQ(row.rfind(c.prefix, 0), 0u) << row;
        const bool coloured = c.colour && c.severity != 0;
        EXPECT_EQ(row.size() > 5 && row.substr(row.size() - 5) == "\x1b[0m\n", coloured) << row;
        if (!coloured) {
            EXPECT_EQ(row.find('\x1b'), std::string::npos);
        }
    }
}

TEST(CliRows, ColourNeedsATerminalAndNoOptOut) {
    struct Case {
        bool terminal;
        const char* noColor;
        const char* term;
        bool wanted;
    };
    const Case cases[] = {
        {true, nullptr, "xterm-256color", true},
        {true, nullptr, nullptr, true},
        {false, nullptr, "xterm", false},
        {true, "1", "xterm", false},
        {true, "", "xterm", true},  // NO_COLOR counts only when it holds something
        {true, nullptr, "dumb", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(colourWanted(c.terminal, c.noColor, c.term), c.wanted)
            << c.terminal << " " << (c.noColor ? c.noColor : "unset") << " "
            << (c.term ? c.term : "unset");
    }
}

TEST(CliProgress, LineFitsTheTerminalAndKeepsTheEndOfTheFolder) {
    streamscan::ScanStats stats;
    stats.files = 1234;
    stats.folders = 5;
    const std::u16string folder =
        std::u16string(kFolder) + u"/" + std::u16string(300, u'x') + u"/last\u202E";
    const std::string line = progressLine(folder, stats, 7, 80);
    EXPECT_EQ(displayWidth(line), 79);
    EXPECT_EQ(line.find("1"), 0u);
    EXPECT_NE(line.find("5 folders"), std::string::npos);
    EXPECT_NE(line.find("7 streams listed"), std::string::npos);
    EXPECT_NE(line.find("| Scanning: ..."), std::string::npos);
    EXPECT_EQ(line.substr(line.size() - 16), "xxx/last<U+202E>");

    const std::string shortLine = progressLine(kFolder, stats, 0, 200);
    EXPECT_EQ(shortLine.substr(shortLine.size() - folderText().size() - 10),
              "Scanning: " + folderText());
    EXPECT_EQ(shortLine.find("..."), std::string::npos);
    // Whatever the width, the line never reaches the last column.
    for (int width : {1, 5, 20, 40}) {
        EXPECT_LT(displayWidth(progressLine(folder, stats, 0, width)), width < 2 ? 2 : width);
    }
}

}  // namespace
}  // namespace tessalin::cli
