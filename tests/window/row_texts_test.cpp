#include "window/row_commands.h"
#include "window/details_text.h"

#include <gtest/gtest.h>

#include "engine/not_examined.h"
#include "frontend/delete_plan.h"

namespace tessalin {
namespace {

using streamscan::NotExaminedPlace;
using streamscan::PlaceKind;
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
    };
    for (const auto& c : cases) {
        const ClipboardText copied = clipboardText(kRecords, c.selected, false, kWin);
        EXPECT_EQ(copied.text, c.text);
        EXPECT_EQ(copied.rowCount, c.rows);
    }
    EXPECT_EQ(clipboardText(kRecords, {0, 2}, true, kWin).text,
              rowText(kRecords[0]) + u"\r\n" + rowText(kRecords[2]));
    EXPECT_EQ(copiedStatusText(3), u"Copied 3 rows to the clipboard.");
}

TEST(ShellTargets, TopmostSelectedHostIsPassedPlainAndShownEscaped) {
    EXPECT_EQ(firstSelectedHostPath(kRecords, {2, 0}, kWin), kRecords[2].hostFolder);
    EXPECT_EQ(firstSelectedHostPath(kRecords, {9, 0}, kWin), std::nullopt);
    EXPECT_EQ(explorerSelectArgument(u"C:\\dl\\a b.txt"), u"/select,\"C:\\dl\\a b.txt\"");
    const BoxMessage explorer = explorerFailedMessage(u"C:\\dl\\evil\u202Etxt.exe");
    EXPECT_EQ(explorer.text, u"Explorer could not be opened for:\nC:\\dl\\evil<U+202E>txt.exe");
    EXPECT_EQ(explorer.style, kWarningBox);
    EXPECT_EQ(propertySheetFailedMessage(u"C:\\a\nb").text,
              u"The property sheet could not be opened for:\nC:\\a<U+000A>b");
}

TEST(ContextMenu, ItemsNeedASelectionAndDeleteAndSaveAlsoAnIdleWindow) {
    std::u16string shown;
    for (const ContextMenuItem& item : contextMenuItems(true, false))
        shown += item.separator ? u"|" : std::u16string(item.text) + u";";
    EXPECT_EQ(shown,
              u"Delete Selected Streams...;Save Streams To...;|Copy Path;Copy Row;|Open Containing "
              u"Folder;Properties;");
    const std::tuple<bool, bool, std::vector<int>> cases[] = {
        {true, false, {1101, 1108, 1102, 1103, 1104, 1105}},
        {true, true, {1102, 1103, 1104, 1105}},
        {false, false, {}},
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

std::array<std::uint8_t, 16> bytesOf(std::string_view text) {
    std::array<std::uint8_t, 16> head{};
    std::copy_n(text.begin(), std::min(text.size(), head.size()), head.begin());
    return head;
}

TEST(DetailsText, StreamRowWithZoneAssessmentAndFirstBytes) {
    const StreamRecord record{.hostFolder = u"C:\\dl",
                              .hostName = u"a\rb",
                              .streamName = u"Zone.Identifier",
                              .streamSize = 98,
                              .hostAttributes = 0x21,  // archive is never named
                              .hostSize = 1536,
                              .zone = {.isZoneIdentifier = true,
                                       .zoneIdPresent = true,
                                       .zoneIdParsed = true,
                                       .zone = 3,
                                       .zoneId = 3,
                                       .hostUrl = u"https://example.test/setup.exe",
                                       .referrerUrl = u"https://example.test/\u202E"},
                              .head = bytesOf("[ZoneTransfer]\r\n"),
                              .headLength = 16,
                              .unreadable = true,
                              .contentKind = streamscan::ContentKind::pdf,
                              .entropy = 3.25,
                              .severity = 1,
                              .note = u"Downloaded from the Internet"};
    EXPECT_EQ(
        detailsText(record, kWin),
        u"File:\tC:\\dl\\a<U+000D>b\nKind:\tFile\nFlags:\tRead-only\nFile size:\t1.5 KB\n"
        u"\nStream:\tZone.Identifier\nType:\t$DATA\nSize:\t98 B\n"
        u"Path:\tC:\\dl\\a<U+000D>b:Zone.Identifier:$DATA\n"
        u"Content:\ta PDF document\nEntropy:\t3.25 bits per byte in what was read\n"
        u"\nZone:\tInternet\nFrom:\thttps://example.test/setup.exe\n"
        u"Referrer:\thttps://example.test/<U+202E>\n"
        u"\nFlagged:\tNotice\nReason:\tDownloaded from the Internet; content could not be read\n"
        u"\nFirst bytes:\n"
        u"5B 5A 6F 6E 65 54 72 61 6E 73 66 65 72 5D 0D 0A   [ZoneTransfer]..");
    EXPECT_EQ(detailsMessage(record, kWin).style, kInformationBox);
}

TEST(DetailsText, LinesThatHaveNothingToSayAreLeftOut) {
    const StreamRecord plain{.hostFolder = u"C:\\", .streamName = u"notes", .streamType = u"$EA"};
    EXPECT_EQ(detailsText(plain, kWin),
              u"File:\tC:\\\nKind:\tFile\nFile size:\t0 B\n"
              u"\nStream:\tnotes\nType:\t$EA\nSize:\t0 B\nPath:\tC:\\:notes:$EA\n");
    const StreamRecord file{.hostFolder = u"C:\\", .hostName = u"a", .hostAttributes = 0x2};
    EXPECT_EQ(detailsText(file, kWin),
              u"File:\tC:\\a\nKind:\tFile\nFlags:\tHidden\nFile size:\t0 B\n"
              u"\nThis file carries no alternate data stream.");
}

}  // namespace
}  // namespace tessalin
