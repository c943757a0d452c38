#include "window/row_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/display_escape.h"
#include "engine/path_forms.h"

namespace tessalin {
namespace {

using streamscan::PathStyle;
using streamscan::StreamRecord;

constexpr PathStyle kWin = PathStyle::windows;

StreamRecord record(std::u16string folder, std::u16string name, std::u16string stream,
                    std::u16string type = u"$DATA") {
    StreamRecord r;
    r.hostFolder = std::move(folder);
    r.hostName = std::move(name);
    r.streamName = std::move(stream);
    r.streamType = std::move(type);
    return r;
}

std::vector<std::u16string> splitOn(const std::u16string& text, char16_t separator) {
    std::vector<std::u16string> parts(1);
    for (char16_t c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

TEST(RowText, HostileNamesStayInsideTheirColumn) {
    StreamRecord hostile = record(u"C:\\in", u"a\tb\r\nc\u202Etxt.exe", u"s\tx");
    hostile.streamSize = 10;
    hostile.severity = 2;
    hostile.note = u"line1\nline2";
    hostile.zone.isZoneIdentifier = true;
    hostile.zone.hostUrl = u"http://x/\t";
    const std::u16string text = rowText(hostile);
    EXPECT_EQ(std::count(text.begin(), text.end(), u'\t'), 8);
    EXPECT_EQ(text.find_first_of(u"\r\n\u202E"), std::u16string::npos);
    const auto cells = splitOn(text, u'\t');
    ASSERT_EQ(cells.size(), 9u);
    EXPECT_EQ(cells[0], u"Alert");
    EXPECT_EQ(cells[1], streamscan::escapeForDisplay(streamscan::hostPathOf(hostile)));
    EXPECT_NE(cells[1].find(u"a<U+0009>b<U+000D><U+000A>c<U+202E>txt.exe"), std::u16string::npos);
    EXPECT_EQ(cells[2], u"s<U+0009>x");
    EXPECT_EQ(cells[3], u"10 B");
    EXPECT_EQ(cells[5], u"http://x/<U+0009>");
    EXPECT_EQ(cells[6], u"line1<U+000A>line2");

    // An item row has empty columns but still all nine.
    const std::u16string item = rowText(record(u"C:\\in", u"plain.txt", u"", u""));
    EXPECT_EQ(std::count(item.begin(), item.end(), u'\t'), 8);
    EXPECT_EQ(splitOn(item, u'\t')[2], u"(no alternate streams)");
}

TEST(Clipboard, CopyPathAndCopyRowWriteOneEscapedLinePerSelectedRow) {
    const std::vector<StreamRecord> records = {
        record(u"C:\\dl", u"tool.zip", u"Zone.Identifier"),
        record(u"C:\\dl", u"plain.txt", u"", u""),
        record(u"C:\\dl", u"evil\u202Etxt.exe", u"s", u""),
    };
    struct Case {
        const char* label;
        std::vector<std::uint64_t> selected;
        std::u16string text;
        std::uint64_t rows;
    };
    const Case cases[] = {
        {"stream row", {0}, u"C:\\dl\\tool.zip:Zone.Identifier:$DATA", 1},
        {"item row", {1}, u"C:\\dl\\plain.txt", 1},
        {"three rows",
         {2, 0, 1},
         u"C:\\dl\\evil<U+202E>txt.exe:s:$DATA\r\nC:\\dl\\tool.zip:Zone.Identifier:$DATA\r\n"
         u"C:\\dl\\plain.txt",
         3},
        {"stale index skipped", {5, 1}, u"C:\\dl\\plain.txt", 1},
        {"nothing", {}, u"", 0},
    };
    for (const Case& c : cases) {
        const ClipboardText copied = clipboardText(records, c.selected, false, kWin);
        EXPECT_EQ(copied.text, c.text) << c.label;
        EXPECT_EQ(copied.rowCount, c.rows) << c.label;
    }
    const ClipboardText rows = clipboardText(records, {0, 2}, true, kWin);
    EXPECT_EQ(rows.text, rowText(records[0]) + u"\r\n" + rowText(records[2]));
    EXPECT_EQ(copiedStatusText(3), u"Copied 3 rows to the clipboard.");
    EXPECT_EQ(copiedStatusText(1), u"Copied 1 row to the clipboard.");
}

TEST(ShellTargets, TopmostSelectedHostIsPassedPlain) {
    const std::vector<StreamRecord> records = {
        record(u"C:\\dl", u"evil\u202Etxt.exe", u"Zone.Identifier"),
        record(u"C:\\other", u"b.txt", u"s"),
    };
    EXPECT_EQ(firstSelectedHostPath(records, {0, 1}, kWin), u"C:\\dl\\evil\u202Etxt.exe");
    EXPECT_EQ(firstSelectedHostPath(records, {1, 0}, kWin), u"C:\\other\\b.txt");
    EXPECT_EQ(firstSelectedHostPath(records, {9, 0}, kWin), std::nullopt);
    EXPECT_EQ(firstSelectedHostPath(records, {}, kWin), std::nullopt);

    EXPECT_EQ(explorerSelectArgument(u"C:\\dl\\a b.txt"), u"/select,\"C:\\dl\\a b.txt\"");
    const BoxMessage explorer = explorerFailedMessage(u"C:\\dl\\evil\u202Etxt.exe");
    EXPECT_EQ(explorer.text, u"Explorer could not be opened for:\nC:\\dl\\evil<U+202E>txt.exe");
    EXPECT_EQ(explorer.style, kWarningBox);
    EXPECT_EQ(propertySheetFailedMessage(u"C:\\a\nb").text,
              u"The property sheet could not be opened for:\nC:\\a<U+000A>b");
}

TEST(ContextMenu, ItemsAndTheirStatesFollowSelectionAndScan) {
    struct Case {
        bool selection, scanning;
        bool deleteEnabled, othersEnabled;
    };
    const Case cases[] = {
        {true, false, true, true},
        {true, true, false, true},
        {false, false, false, false},
        {false, true, false, false},
    };
    for (const Case& c : cases) {
        const auto items = contextMenuItems(c.selection, c.scanning);
        ASSERT_EQ(items.size(), 7u);
        EXPECT_TRUE(items[1].separator);
        EXPECT_TRUE(items[4].separator);
        EXPECT_EQ(items[0].commandId, 1101);
        EXPECT_EQ(items[0].text, u"Delete Selected Streams...");
        EXPECT_EQ(items[0].enabled, c.deleteEnabled);
        const std::pair<int, std::u16string_view> others[] = {{1102, u"Copy Path"},
                                                              {1103, u"Copy Row"},
                                                              {1104, u"Open Containing Folder"},
                                                              {1105, u"Properties"}};
        const std::size_t at[] = {2, 3, 5, 6};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(items[at[i]].commandId, others[i].first);
            EXPECT_EQ(items[at[i]].text, others[i].second);
            EXPECT_EQ(items[at[i]].enabled, c.othersEnabled);
        }
    }
}

TEST(ContextMenu, KeyboardOpensAThirdAcrossAndFortyPixelsDown) {
    const Rect list{100, 200, 1001, 800};
    EXPECT_EQ(contextMenuPosition(-1, -1, list, 96), (ScreenPoint{400, 240}));
    EXPECT_EQ(contextMenuPosition(-1, -1, list, 144), (ScreenPoint{400, 260}));
    EXPECT_EQ(contextMenuPosition(-1, -1, list, 120), (ScreenPoint{400, 250}));
    EXPECT_EQ(contextMenuPosition(-1, -1, Rect{-900, -50, -300, 0}, 96), (ScreenPoint{-700, -10}));
    EXPECT_EQ(contextMenuPosition(320, 480, list, 144), (ScreenPoint{320, 480}));
    EXPECT_EQ(contextMenuPosition(-1, 480, list, 96), (ScreenPoint{-1, 480}));
}

}  // namespace
}  // namespace tessalin
