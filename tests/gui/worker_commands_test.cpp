// Commands that leave the window free while they work, and the filter bar:
// a removal stopped half-way, the filter's counts and what acts on its rows,
// and the details view's digest read on a worker.
#include "engine/csv_report.h"
#include "engine/value_text.h"
#include "frontend/delete_plan.h"
#include "frontend/export_texts.h"
#include "gui/window_fixture.h"
#include "window/command_ids.h"
#include "window/status_texts.h"
#include "window/details_text.h"
#include "window/filter_bar.h"
#include "window/removal_progress.h"
#include "window/save_texts.h"

#include <filesystem>
#include <fstream>

#include "engine/unicode.h"

namespace tessalin::gui {
namespace {

class WorkerCommandTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        scan();
    }
    HWND filterControl(int id) const { return state->filterControls[id - kFilterFirstId]; }
};

TEST_F(WorkerCommandTest, ARemovalRunsOnAWorkerAndACancelStopsItAfterTheCurrentStream) {
    const std::vector<int> rows = {rowOf(u"tool.zip", u"Zone.Identifier"),
                                   rowOf(u"tool.zip", u"notes"),
                                   rowOf(kOddName, u"x"),
                                   rowOf(u"deep.txt", u"payload.exe"),
                                   rowOf(u"sub", u"folder note"),
                                   rowOf(u"broken.bin", u"data")};
    select(rows);
    const DeletePlan plan = planDelete(results().records, selectedRecordIndices(*state),
                                       streamscan::PathStyle::windows);
    ASSERT_EQ(plan.targets.size(), 6u);
    const std::size_t recordCount = results().records.size();
    fs.holdAtDelete = 2;
    ResetEvent(fs.open.get());
    ui.answer = IDYES;
    command(kCmdDeleteStreams);
    ASSERT_EQ(WaitForSingleObject(fs.held.get(), 5000), WAIT_OBJECT_0);
    // The window answers while the second stream is being removed.
    EXPECT_TRUE(pumpUntil([&] { return status() == removalProgressText(2, 6); }));
    EXPECT_FALSE(IsWindowEnabled(state->buttons[4]));  // Delete Streams...
    EXPECT_TRUE(IsWindowEnabled(state->buttons[3]));   // Cancel
    startScan(*state, {u"C:\\dl"});                    // a drop meanwhile starts nothing
    command(kCmdCancelScan);
    SetEvent(fs.open.get());
    ASSERT_TRUE(pumpUntil([&] { return !state->removal; }));
    EXPECT_EQ(fs.deleteStreamCalls().size(), 2u);
    streamscan::RemovalResult reached{.removedCount = 2, .failedCount = 4};
    reached.outcomes.resize(2);
    reached.outcomes[0].removed = reached.outcomes[1].removed = true;
    const RemovalEnd end = removalEnd(plan, reached, recordCount, true);
    EXPECT_EQ(ui.boxes, (Boxes{boxOf(confirmationMessage(plan)),
                               {std::u16string(kRemovalRunningText), MB_ICONINFORMATION | MB_OK},
                               boxOf(end.box)}));
    EXPECT_EQ(results().records.size(), recordCount - 2);
    EXPECT_EQ(state->removedStreamCount, 2u);
    EXPECT_EQ(status(), removalStatusText(2));
    EXPECT_TRUE(IsWindowEnabled(state->buttons[0]));
}

TEST_F(WorkerCommandTest, TheFilterNarrowsTheRowsThatSelectAllAndExportActOnAndCountsTheRest) {
    const std::size_t all = results().rowOrder.size();
    SetWindowTextW(filterControl(kFilterNameId), L"*.exe");
    EXPECT_EQ(listed(), std::vector<std::u16string>{u"C:\\dl\\sub\\deep.txt:payload.exe"});
    SendMessageW(filterControl(kFilterFlaggedId), BM_CLICK, 0, 0);
    SetWindowTextW(filterControl(kFilterNameId), L"");
    SetWindowTextW(filterControl(kFilterMinimumSizeId), L"3");
    // Only flagged rows of 3 bytes or more.
    const std::vector<std::u16string> flagged = listed();
    ASSERT_FALSE(flagged.empty());
    for (int row = 0; row < itemCount(); ++row) {
        EXPECT_GE(recordAt(row).streamSize, 3u);
        EXPECT_NE(recordAt(row).severity, 0u);
    }
    const std::uint64_t hidden = all - flagged.size();
    EXPECT_EQ(itemCount(), int(flagged.size()));
    EXPECT_NE(status(2).find(u", " + streamscan::groupedNumber(hidden) + u" hidden by the filter"),
              std::u16string::npos);
    command(kCmdSelectAll);
    EXPECT_EQ(selectedRows(*state).size(), flagged.size());
    sortRows(*state, 2, false);
    EXPECT_EQ(itemCount(), int(flagged.size()));
    fs.addFolder(u"C:\\out");
    ui.fileDialog = [](OPENFILENAMEW& dialog) {
        wcscpy(dialog.lpstrFile, L"C:\\out\\r.csv");
        return true;
    };
    command(kCmdExportCsv);
    streamscan::FakeFileSystem paper;
    paper.addFolder(u"C:\\out");
    streamscan::writeCsvReport(u"C:\\out\\r.csv",
                               rowsToExport(results().records, results().rowOrder), nullptr,
                               &state->scan.stats, paper, hidden);
    EXPECT_EQ(fs.fileBytes(u"C:\\out\\r.csv"), paper.fileBytes(u"C:\\out\\r.csv"));
    SetWindowTextW(filterControl(kFilterMinimumSizeId), L"1T");
    EXPECT_EQ(status(), kSizeNotUnderstoodText);
    SetWindowTextW(filterControl(kFilterNameId), L"nothing*");
    EXPECT_EQ(itemCount(), 0);
    EXPECT_EQ(state->emptyListText, nothingMatchesText(all));
}

TEST_F(WorkerCommandTest, TheDetailsOfALargeStreamFollowItsDigestReadOnAWorker) {
    fs.addStream(u"C:\\big\\disk.img", u"copy", std::string((1 << 20) + 1, 'x'));
    scan({u"C:\\big"});
    const streamscan::StreamRecord record = recordAt(rowOf(u"disk.img", u"copy"));
    std::u16string statusWhileReading;
    showDetails(*state, record);
    statusWhileReading = status();
    ASSERT_TRUE(pumpUntil([&] { return !state->digest; }));
    const std::u16string digest = streamDigestText(fs, record);
    EXPECT_EQ(digest.size(), 64u);
    EXPECT_EQ(ui.boxes,
              Boxes{boxOf(detailsMessage(record, streamscan::PathStyle::windows, digest))});
    EXPECT_EQ(statusWhileReading, u"Reading the stream for its SHA-256\u2026");
}

}  // namespace
}  // namespace tessalin::gui

namespace tessalin::gui {
namespace {

std::string fileText(const std::u16string& path) {
    std::ifstream file(std::filesystem::path(wideText(path)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST_F(WorkerCommandTest, SaveStreamsToCopiesWithTheConsolesManifestAndOffersTheFolder) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::u16string folder = fromWide(temp) + u"tessalin-save-" +
                                  streamscan::widenAscii(std::to_string(GetCurrentProcessId()));
    ASSERT_TRUE(CreateDirectoryW(wideText(folder), nullptr));  // an empty folder is taken
    const int notes = rowOf(u"tool.zip", u"notes");
    select({notes, rowOf(u"broken.bin", u"data"), rowOf(u"readme.txt", u"")});
    const std::u16string digest = streamDigestText(fs, recordAt(notes));
    ui.folderAnswer = folder;
    ui.answer = IDYES;
    command(kCmdSaveStreams);
    ASSERT_TRUE(pumpUntil([&] { return !state->save; }));
    EXPECT_EQ(fileText(folder + u"\\stream-000001.bin"), "remember the milk");
    const std::string manifest = fileText(folder + u"\\manifest.json");
    EXPECT_NE(manifest.find("\"stream\":\"notes\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("\"sha256\":\"" + streamscan::utf8ForDisplay(digest) + "\""),
              std::string::npos);
    EXPECT_NE(manifest.find("\"copied\":1,\"failed\":1"), std::string::npos);
    EXPECT_EQ(ui.boxes, (Boxes{{u"(folder dialog)", 0}, boxOf(savedMessage({1, 1, 0}, folder))}));
    EXPECT_EQ(ui.shellCalls, (Boxes{{u"open|" + folder + u"|", SW_SHOWNORMAL}}));
    EXPECT_EQ(status(), savedStatusText(1));
    // The folder now holds files: a second save there is refused before anything is copied.
    ui.boxes.clear();
    command(kCmdSaveStreams);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].first.rfind(u"The streams could not be saved to:\n", 0), 0u);
    for (const char16_t* name : {u"\\stream-000001.bin", u"\\manifest.json"})
        DeleteFileW(wideText(folder + name));
    RemoveDirectoryW(wideText(folder));
}

}  // namespace
}  // namespace tessalin::gui
