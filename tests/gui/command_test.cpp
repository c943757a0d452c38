// The commands on the rows of a scanned tree in the real window: delete, export,
// the copy and shell commands, the context menu and the details view. What they
// show is what the plain functions make of the same rows.
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/csv_report.h"
#include "engine/removal.h"
#include "frontend/delete_plan.h"
#include "frontend/export_texts.h"
#include "gui/window_fixture.h"
#include "window/command_ids.h"
#include "window/details_text.h"
#include "window/row_commands.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

using streamscan::PathStyle;

class CommandTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        scan();
        sortRows(*state, 2, false);  // by stream name, not in the order of arrival
    }
    std::vector<std::uint64_t> selected() const { return selectedRecordIndices(*state); }
    DeletePlan plan() const {
        return planDelete(results().records, selected(), PathStyle::windows);
    }
    // The writer's report of the rows as shown, on a disk that fills after `room`
    // bytes (0: never); its error when it failed.
    std::string report(std::u16string* error = nullptr, std::uint64_t room = 0) {
        streamscan::FakeFileSystem paper;
        paper.addFolder(u"C:\\out");
        if (room != 0)
            paper.fillDiskAfter(room);
        streamscan::writeCsvReport(u"C:\\out\\report.csv",
                                   rowsToExport(results().records, results().rowOrder), error,
                                   &state->stats, paper);
        return paper.fileBytes(u"C:\\out\\report.csv");
    }
};

TEST_F(CommandTest, DeleteAsksOnceRemovesEachStreamOnceAndDropsTheRowsOfWhatWent) {
    // The same stream again in other letter cases, as overlapping scans could list it.
    streamscan::StreamRecord again = recordAt(rowOf(u"tool.zip", u"notes"));
    again.hostFolder = u"c:\\DL";
    again.streamName = u"NOTES";
    appendResults(*state, {again});
    std::vector<std::u16string> rows = listed();
    select({rowOf(u"tool.zip", u"notes"), rowOf(u"tool.zip", u"NOTES"), rowOf(u"readme.txt", u""),
            rowOf(u"locked.bin", u"payload"), rowOf(u"odd.dat", u"ea")});
    const DeletePlan asked = plan();
    std::vector<int> rowsAtBox;
    ui.whileShown = [&] { rowsAtBox.push_back(itemCount()); };
    ui.answer = IDYES;
    command(kCmdDeleteStreams);
    const streamscan::RemovalResult result{
        .removedCount = 1,
        .failedCount = 1,
        .outcomes = {{u"C:\\dl\\tool.zip", u"notes", u"$DATA", true, u""},
                     {u"C:\\dl\\locked.bin", u"payload", u"$DATA", false,
                      streamscan::WindowsErrorText(streamscan::kErrorAccessDenied)}}};
    EXPECT_EQ(ui.boxes,
              (Boxes{boxOf(confirmationMessage(asked)),
                     boxOf(removalResultMessage(
                         result, applyRemovalResult(asked, result, rows.size()).failureLines))}));
    EXPECT_EQ(fs.deleteStreamCalls().size(), 2u);  // not the refused $EA stream
    EXPECT_EQ(fs.fileBytes(u"C:\\dl\\tool.zip"), "PK\x03\x04");
    const int before = int(rows.size());
    std::erase(rows, u"C:\\dl\\tool.zip:notes");
    std::erase(rows, u"c:\\DL\\tool.zip:NOTES");
    EXPECT_EQ(listed(), rows);  // before the result was shown
    EXPECT_EQ(rowsAtBox, (std::vector<int>{before, int(rows.size())}));
    EXPECT_EQ(selection(), std::vector<int>{});
    EXPECT_EQ(status(), removalStatusText(1));
}

TEST_F(CommandTest, DeleteChangesNothingUnlessAskedAndAnsweredYesWhileIdle) {
    const std::vector<std::u16string> rows = listed();
    select({});
    command(kCmdDeleteStreams);
    select({rowOf(u"readme.txt", u""), rowOf(u"odd.dat", u"ea")});
    command(kCmdDeleteStreams);
    const Shown nothing = boxOf(nothingRemovableMessage(plan()));
    select({rowOf(u"tool.zip", u"notes")});
    for (const int answer : {IDNO, IDCANCEL, 0}) {
        ui.answer = answer;
        command(kCmdDeleteStreams);
    }
    ui.answer = IDYES;  // a scan already running, or started by a drop while asked
    state->scanning = true;
    command(kCmdDeleteStreams);
    ui.whileShown = [&] { state->scanning = true; };
    state->scanning = false;
    command(kCmdDeleteStreams);
    state->scanning = false;
    const Shown question = boxOf(confirmationMessage(plan()));
    EXPECT_EQ(ui.boxes, (Boxes{boxOf(selectStreamsFirstMessage()), nothing, question, question,
                               question, question}));
    EXPECT_TRUE(fs.deleteStreamCalls().empty());
    EXPECT_EQ(listed(), rows);
}

TEST_F(CommandTest, ExportWritesTheRowsInTheListsOrderToARealFileAndSaysWhere) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    // A name the boxes show escaped; the file gets it unchanged.
    const std::u16string path = fromWide(temp) + u"tessalin report \u202E.csv";
    std::u16string proposed;
    ui.saveDialog = [&](OPENFILENAMEW& dialog) {
        EXPECT_EQ(fromWide(dialog.lpstrTitle), kExportDialogTitle);
        EXPECT_EQ(fromWide(dialog.lpstrDefExt), kExportDefaultExtension);
        EXPECT_EQ(std::memcmp(dialog.lpstrFilter, kExportDialogFilter, sizeof kExportDialogFilter),
                  0);
        EXPECT_EQ(dialog.nMaxFile, kExportPathBufferLength);
        EXPECT_EQ(dialog.Flags, DWORD(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                                      OFN_PATHMUSTEXIST));
        proposed = fromWide(dialog.lpstrFile);
        std::copy(path.c_str(), path.c_str() + path.size() + 1, dialog.lpstrFile);
        return true;
    };
    state->fileSystem = &streamscan::nativeFileSystem();
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    command(kCmdExportCsv);
    GetLocalTime(&after);
    const auto nameAt = [](const SYSTEMTIME& t) {
        return defaultExportFileName({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond});
    };
    EXPECT_TRUE(proposed == nameAt(before) || proposed == nameAt(after));
    std::ifstream in(std::filesystem::path(wideText(path)), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), report());
    in.close();
    DeleteFileW(wideText(path));
    const std::uint64_t rows = results().rowOrder.size();
    EXPECT_EQ(ui.boxes, (Boxes{boxOf(exportSucceededMessage(rows, path, state->stats))}));
    EXPECT_EQ(status(), exportSucceededStatusText(rows));
}

TEST_F(CommandTest, ExportSaysWhatWentWrongAndWritesNothingFromAnEmptyOrChangingList) {
    ui.dialogError = 0x3003;  // a dialog that fails says so in the status bar alone
    command(kCmdExportCsv);
    EXPECT_EQ(status(), saveDialogFailedStatusText(0x3003));
    std::u16string writerError;
    report(&writerError, 100);
    fs.addFolder(u"C:\\out");
    fs.fillDiskAfter(100);
    ui.saveDialog = [](OPENFILENAMEW& dialog) {
        std::memcpy(dialog.lpstrFile, L"C:\\out\\report.csv", sizeof L"C:\\out\\report.csv");
        return true;
    };
    command(kCmdExportCsv);
    EXPECT_EQ(status(), kReportNotWrittenStatusText);
    EXPECT_FALSE(fs.exists(u"C:\\out\\report.csv"));  // though it got going
    EXPECT_GE(fs.writtenBytes(u"C:\\out\\report.csv").size(), 100u);
    state->scanning = true;
    command(kCmdExportCsv);
    ui.whileShown = [&] { state->scanning = true; };  // a drop while the dialog is open
    state->scanning = false;
    command(kCmdExportCsv);
    ui.whileShown = nullptr;
    state->scanning = false;
    clearResults(*state);
    state->stats.cancelled = true;
    command(kCmdExportCsv);
    EXPECT_EQ(fs.calls(streamscan::FakeOp::createFile), 1u);
    EXPECT_EQ(ui.boxes, (Boxes{boxOf(exportFailedMessage(u"C:\\out\\report.csv", writerError)),
                               boxOf(nothingToExportMessage(state->stats))}));
}

std::u16string clipboardText(HWND owner) {
    OpenClipboard(owner);
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    std::u16string text = fromWide(static_cast<const wchar_t*>(GlobalLock(data)));
    GlobalUnlock(data);
    CloseClipboard();
    return text;
}

TEST_F(CommandTest, CopyPathAndCopyRowPutTheirTextOnTheSystemClipboard) {
    const int item = rowOf(u"readme.txt", u"");
    select({rowOf(u"tool.zip", u"Zone.Identifier"), item, rowOf(kOddName, u"x")});
    for (const bool wholeRow : {false, true}) {
        command(wholeRow ? kCmdCopyRow : kCmdCopyPath);
        EXPECT_EQ(
            clipboardText(state->window),
            tessalin::clipboardText(results().records, selected(), wholeRow, PathStyle::windows)
                .text);
        EXPECT_EQ(status(), copiedStatusText(3));
    }
    select({item});  // a row as copied is the row as the list shows it
    command(kCmdCopyRow);
    std::u16string shown = cell(item, 0);
    for (int column = 1; column < 9; ++column)
        shown += u"\t" + cell(item, column);
    EXPECT_EQ(clipboardText(state->window), shown);
    ui.clipboardWorks = false;
    command(kCmdCopyPath);
    EXPECT_EQ(status(), kClipboardFailedText);
}

TEST_F(CommandTest, ExplorerAndPropertiesGetThePlainHostOfTheTopmostRow) {
    select({});  // nothing selected: nothing at all
    command(kCmdOpenContainingFolder);
    command(kCmdProperties);
    const int odd = rowOf(kOddName, u"x");
    ASSERT_LT(odd, itemCount() - 1);
    select({odd, itemCount() - 1});
    const std::u16string host =
        *firstSelectedHostPath(results().records, selected(), PathStyle::windows);
    ASSERT_EQ(host, std::u16string(u"C:\\dl\\") + kOddName);  // plain, not escaped
    for (const bool works : {true, false}) {
        ui.shellWorks = works;
        command(kCmdOpenContainingFolder);
        command(kCmdProperties);
    }
    const Shown explorer{u"open|explorer.exe|" + explorerSelectArgument(host), SW_SHOWNORMAL};
    const Shown sheet{u"properties|" + host + u"|", SW_SHOW};
    EXPECT_EQ(ui.shellCalls, (Boxes{explorer, sheet, explorer, sheet}));
    EXPECT_EQ(ui.boxes,
              (Boxes{boxOf(explorerFailedMessage(host)), boxOf(propertySheetFailedMessage(host))}));
}

using MenuItems = std::vector<std::tuple<int, std::u16string, bool>>;  // id, text, enabled
struct MenuProbe {
    std::vector<WORD> keys;  // pressed once the menu is on screen
    RECT place{};
    MenuItems items;
} probe;

// Runs inside TrackPopupMenu's own loop: looks at the menu on screen and presses the keys.
void CALLBACK probeMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (popup == nullptr || !IsWindowVisible(popup))
        return;
    KillTimer(nullptr, timer);
    GetWindowRect(popup, &probe.place);
    HMENU menu = HMENU(SendMessageW(popup, MN_GETHMENU, 0, 0));
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        const bool grayed = GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED;
        probe.items.emplace_back(int(GetMenuItemID(menu, i)), menuItemText(menu, i), !grayed);
    }
    for (const WORD key : probe.keys) {
        PostMessageW(popup, WM_KEYDOWN, key, 1);
        PostMessageW(popup, WM_KEYUP, key, 0xC0000001);
    }
}

TEST_F(CommandTest, TheContextMenuOpensWhereTheRulesSayAndRunsTheChosenCommand) {
    const int notes = rowOf(u"tool.zip", u"notes");
    select({notes});
    RECT list;
    GetWindowRect(state->listView, &list);
    // From the keyboard: down to the second command, past the separator, and Enter.
    // From the mouse during a scan, where Delete is grayed: Escape.
    for (const bool scanning : {false, true}) {
        probe = {scanning ? std::vector<WORD>{VK_ESCAPE}
                          : std::vector<WORD>{VK_DOWN, VK_DOWN, VK_RETURN}};
        const int x = scanning ? 300 : -1, y = scanning ? 200 : -1;
        state->scanning = scanning;
        const UINT_PTR look = SetTimer(nullptr, 0, 50, probeMenu);
        const UINT_PTR deadline = SetTimer(nullptr, 0, 3000, [](HWND, UINT, UINT_PTR, DWORD) {
            EndMenu();  // whatever happens, the menu does not stay open
        });
        SendMessageW(state->window, WM_CONTEXTMENU, WPARAM(state->listView), MAKELPARAM(x, y));
        KillTimer(nullptr, look);
        KillTimer(nullptr, deadline);
        state->scanning = false;
        MenuItems expected;
        for (const ContextMenuItem& item : contextMenuItems(true, scanning))
            expected.emplace_back(item.commandId, std::u16string(item.text), item.enabled);
        EXPECT_EQ(probe.items, expected);
        const ScreenPoint at = contextMenuPosition(
            x, y, {list.left, list.top, list.right, list.bottom}, int(state->dpi));
        EXPECT_EQ((ScreenPoint{probe.place.left, probe.place.top}), at);
    }
    EXPECT_EQ(clipboardText(state->window), copyPathText(recordAt(notes), PathStyle::windows));
}

TEST_F(CommandTest, DoubleClickShowsTheDetailsOfTheRow) {
    NMITEMACTIVATE click{};
    click.hdr.code = NM_DBLCLK;
    for (const int row : {rowOf(u"tool.zip", u"Zone.Identifier"), -1}) {  // -1: below the rows
        click.iItem = row;
        notify(click.hdr);
    }
    EXPECT_EQ(ui.boxes,
              (Boxes{boxOf(detailsMessage(recordAt(rowOf(u"tool.zip", u"Zone.Identifier")),
                                          PathStyle::windows))}));
}

}  // namespace
}  // namespace tessalin::gui
