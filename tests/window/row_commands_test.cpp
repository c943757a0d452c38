#include "window/row_commands.h"

#include <gtest/gtest.h>

namespace tessalin {
namespace {

using streamscan::StreamRecord;

constexpr streamscan::PathStyle kWin = streamscan::PathStyle::windows;

const std::vector<StreamRecord> kRecords = {
    {.hostFolder = u"C:\\dl", .hostName = u"tool.zip", .streamName = u"Zone.Identifier"},
    {.hostFolder = u"C:\\dl", .hostName = u"plain.txt"},
    // The host is its own parent, so its path is the same in either path style.
    {.hostFolder = u"C:\\a\tb\r\nc\u202E.exe",
     .streamName = u"s\tx",
     .streamSize = 10,
     .zone = {.isZoneIdentifier = true, .hostUrl = u"http://x/\t"},
     .severity = 2,
     .note = u"line1\nline2"},
};

TEST(RowText, NineShownColumnsAndNoBreakOrTabFromAName) {
    EXPECT_EQ(rowText(kRecords[2]),
              u"Alert\tC:\\a<U+0009>b<U+000D><U+000A>c<U+202E>.exe\ts<U+0009>x\t10 B\t(no ZoneId)\t"
              u"http://x/<U+0009>\tline1<U+000A>line2\t\t");
}

TEST(Clipboard, CopyPathAndCopyRowWriteOneEscapedLinePerSelectedRow) {
    const struct {
        std::vector<std::uint64_t> selected;
        std::u16string text;
        std::uint64_t rows;
    } cases[] = {
        {{0}, u"C:\\dl\\tool.zip:Zone.Identifier:$DATA", 1},
        {{2, 9, 1},
         u"C:\\a<U+0009>b<U+000D><U+000A>c<U+202E>.exe:s<U+0009>x:$DATA\r\n"
         u"C:\\dl\\plain.txt",
         2},
        {{}, u"", 0},
    };
    for (const auto& c : cases) {
        const ClipboardText copied = clipboardText(kRecords, c.selected, false, kWin);
        EXPECT_EQ(copied.text, c.text);
        EXPECT_EQ(copied.rowCount, c.rows);
    }
    EXPECT_EQ(clipboardText(kRecords, {0, 2}, true, kWin).text,
              rowText(kRecords[0]) + u"\r\n" + rowText(kRecords[2]));
    EXPECT_EQ(copiedStatusText(1), u"Copied 1 row to the clipboard.");
    EXPECT_EQ(copiedStatusText(3), u"Copied 3 rows to the clipboard.");
}

TEST(ShellTargets, TopmostSelectedHostIsPassedPlainAndShownEscaped) {
    EXPECT_EQ(firstSelectedHostPath(kRecords, {2, 0}, kWin), kRecords[2].hostFolder);
    EXPECT_EQ(firstSelectedHostPath(kRecords, {9, 0}, kWin), std::nullopt);
    EXPECT_EQ(firstSelectedHostPath(kRecords, {}, kWin), std::nullopt);
    EXPECT_EQ(explorerSelectArgument(u"C:\\dl\\a b.txt"), u"/select,\"C:\\dl\\a b.txt\"");
    const BoxMessage explorer = explorerFailedMessage(u"C:\\dl\\evil\u202Etxt.exe");
    EXPECT_EQ(explorer.text, u"Explorer could not be opened for:\nC:\\dl\\evil<U+202E>txt.exe");
    EXPECT_EQ(explorer.style, kWarningBox);
    EXPECT_EQ(propertySheetFailedMessage(u"C:\\a\nb").text,
              u"The property sheet could not be opened for:\nC:\\a<U+000A>b");
}

TEST(ContextMenu, ItemsNeedASelectionAndDeleteAlsoAnIdleWindow) {
    std::u16string shown;
    for (const ContextMenuItem& item : contextMenuItems(true, false)) {
        shown += item.separator ? u"|" : std::u16string(item.text) + u";";
        EXPECT_EQ(item.commandId == 0, item.separator);
    }
    EXPECT_EQ(
        shown,
        u"Delete Selected Streams...;|Copy Path;Copy Row;|Open Containing Folder;Properties;");
    const std::tuple<bool, bool, std::vector<int>> cases[] = {
        {true, false, {1101, 1102, 1103, 1104, 1105}},
        {true, true, {1102, 1103, 1104, 1105}},
        {false, false, {}},
        {false, true, {}},
    };
    for (const auto& [selection, scanning, enabled] : cases) {
        std::vector<int> ids;
        for (const ContextMenuItem& item : contextMenuItems(selection, scanning)) {
            if (item.enabled)
                ids.push_back(item.commandId);
        }
        EXPECT_EQ(ids, enabled);
    }
}

TEST(ContextMenu, KeyboardOpensAThirdAcrossAndFortyPixelsDown) {
    const Rect list{100, 200, 1001, 800};
    EXPECT_EQ(contextMenuPosition(-1, -1, list, 96), (ScreenPoint{400, 240}));
    EXPECT_EQ(contextMenuPosition(-1, -1, list, 144), (ScreenPoint{400, 260}));
    EXPECT_EQ(contextMenuPosition(-1, -1, Rect{-900, -50, -300, 0}, 96), (ScreenPoint{-700, -10}));
    EXPECT_EQ(contextMenuPosition(320, 480, list, 144), (ScreenPoint{320, 480}));
    EXPECT_EQ(contextMenuPosition(-1, 480, list, 96), (ScreenPoint{-1, 480}));
}

}  // namespace
}  // namespace tessalin
