// The commands on the rows of a scanned tree in the real window: delete, export,
// and the copy and shell commands. What they show is what the plain functions
// make of the same rows.
#include "engine/csv_report.h"
#include "engine/removal.h"
#include "frontend/delete_plan.h"
#include "frontend/export_texts.h"
#include "gui/window_fixture.h"
#include "window/command_ids.h"
#include "window/status_texts.h"
#include "window/product_info.h"
#include "window/row_commands.h"

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
    // bytes; its error when it failed.
    std::string report(std::u16string* error = nullptr, std::uint64_t room = UINT64_MAX) {
        streamscan::FakeFileSystem paper;
        paper.addFolder(u"C:\\out");
        paper.fillDiskAfter(room);
        streamscan::writeCsvReport(u"C:\\out\\report.csv",
                                   rowsToExport(results().records, results().rowOrder), error,
                                   &state->scan.stats, paper);
        return paper.fileBytes(u"C:\\out\\report.csv");
    }
};

TEST_F(CommandTest, DeleteAsksOnceRemovesWhatItMayAndDropsTheRowsOfWhatWent) {
    std::vector<std::u16string> rows = listed();
    select({rowOf(u"tool.zip", u"notes"), rowOf(u"readme.txt", u""),
            rowOf(u"locked.bin", u"payload"), rowOf(u"odd.dat", u"ea")});
    const DeletePlan asked = plan();
    std::vector<int> rowsAtBox;
    ui.whileShown = [&] { rowsAtBox.push_back(itemCount()); };
    ui.answer = IDYES;
    command(kCmdDeleteStreams);
    ASSERT_TRUE(pumpUntil([&] { return !state->removal; }));
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
    const int before = int(rows.size());
    std::erase(rows, u"C:\\dl\\tool.zip:notes");
    EXPECT_EQ(listed(), rows);  // before the result was shown
    EXPECT_EQ(rowsAtBox, (std::vector<int>{before, int(rows.size())}));
    EXPECT_EQ(selectedRows(*state), std::vector<int>{});
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
    state->scan.running = true;
    command(kCmdDeleteStreams);
    ui.whileShown = [&] { state->scan.running = true; };
    state->scan.running = false;
    command(kCmdDeleteStreams);
    state->scan.running = false;
    const Shown question = boxOf(confirmationMessage(plan()));
    EXPECT_EQ(ui.boxes, (Boxes{boxOf(selectStreamsFirstMessage()), nothing, question, question,
                               question, question}));
    EXPECT_TRUE(fs.deleteStreamCalls().empty());
    EXPECT_EQ(listed(), rows);
}

TEST_F(CommandTest, ExportWritesTheRowsInTheListsOrderOrSaysWhatWentWrong) {
    ui.dialogError = 0x3003;  // a dialog that fails says so in the status bar alone
    command(kCmdExportCsv);
    EXPECT_EQ(status(), saveDialogFailedStatusText(0x3003));
    // A name the boxes show escaped; the file gets it unchanged.
    std::u16string path = u"C:\\out\\report \u202E.csv";
    ui.fileDialog = [&](OPENFILENAMEW& dialog) {
        EXPECT_EQ(dialog.Flags, DWORD(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                                      OFN_PATHMUSTEXIST));
        std::copy(path.c_str(), path.c_str() + path.size() + 1, dialog.lpstrFile);
        return true;
    };
    fs.addFolder(u"C:\\out");
    command(kCmdExportCsv);
    EXPECT_EQ(fs.fileBytes(path), report());
    const std::uint64_t rows = results().rowOrder.size();
    EXPECT_EQ(status(), exportSucceededStatusText(rows));
    const Shown succeeded = boxOf(exportSucceededMessage(rows, path, state->scan.stats));
    std::u16string writerError;
    report(&writerError, 100);
    fs.fillDiskAfter(100);
    path = u"C:\\out\\report.csv";
    command(kCmdExportCsv);
    EXPECT_EQ(status(), kReportNotWrittenStatusText);
    EXPECT_FALSE(fs.exists(path));  // though it got going
    EXPECT_GE(fs.writtenBytes(path).size(), 100u);
    state->scan.running = true;
    command(kCmdExportCsv);
    ui.whileShown = [&] { state->scan.running = true; };  // a drop while the dialog is open
    state->scan.running = false;
    command(kCmdExportCsv);
    ui.whileShown = nullptr;
    state->scan.running = false;
    clearResults(*state);
    state->scan.stats.cancelled = true;
    command(kCmdExportCsv);
    EXPECT_EQ(fs.calls(streamscan::FakeOp::createFile), 2u);
    EXPECT_EQ(ui.boxes, (Boxes{succeeded, boxOf(exportFailedMessage(path, writerError)),
                               boxOf(nothingToExportMessage(state->scan.stats))}));
}

TEST_F(CommandTest, RowCommandsReachTheClipboardOrShellWithTheTopmostRowOrSayWhyNot) {
    select({});  // nothing selected: nothing at all
    command(kCmdOpenContainingFolder);
    command(kCmdProperties);
    EXPECT_EQ(ui.shellCalls, Boxes{});
    const int odd = rowOf(kOddName, u"x");
    ASSERT_LT(odd, itemCount() - 1);
    select({odd, itemCount() - 1});
    const std::u16string host =
        *firstSelectedHostPath(results().records, selected(), PathStyle::windows);
    ASSERT_EQ(host, std::u16string(u"C:\\dl\\") + kOddName);  // plain, not escaped
    const Shown explorer{u"open|explorer.exe|" + explorerSelectArgument(host), SW_SHOWNORMAL};
    const Shown sheet{u"properties|" + host + u"|", SW_SHOW};
    const Shown home{u"open|" + std::u16string(kHomePageUrl) + u"|", SW_SHOWNORMAL};
    const struct {
        int id;
        bool works;  // the clipboard or the shell
        Boxes shellCalls, boxes;
        std::u16string status;
    } cases[] = {
        {kCmdCopyPath, true, {}, {}, copiedStatusText(2)},
        {kCmdCopyRow, true, {}, {}, copiedStatusText(2)},
        {kCmdCopyPath, false, {}, {}, std::u16string(kClipboardFailedText)},
        {kCmdOpenContainingFolder, true, {explorer}, {}, u""},
        {kCmdOpenContainingFolder, false, {explorer}, {boxOf(explorerFailedMessage(host))}, u""},
        {kCmdProperties, false, {sheet}, {boxOf(propertySheetFailedMessage(host))}, u""},
        {kCmdAbout, true, {home}, {}, u""},
    };
    for (const auto& c : cases) {
        ui.shellWorks = ui.clipboardWorks = c.works;
        ui.shellCalls.clear();
        ui.boxes.clear();
        setStatusText(*state, u"");
        command(c.id);
        EXPECT_EQ(ui.shellCalls, c.shellCalls) << c.id;
        EXPECT_EQ(ui.boxes, c.boxes) << c.id;
        EXPECT_EQ(status(), c.status) << c.id;
        if (c.status == copiedStatusText(2)) {
            OpenClipboard(state->window);
            HANDLE data = GetClipboardData(CF_UNICODETEXT);
            EXPECT_EQ(fromWide(static_cast<const wchar_t*>(GlobalLock(data))),
                      clipboardText(results().records, selected(), c.id == kCmdCopyRow,
                                    PathStyle::windows)
                          .text);
            GlobalUnlock(data);
            CloseClipboard();
        }
    }
}

}  // namespace
}  // namespace tessalin::gui
