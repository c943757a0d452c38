// Real scans in the real window: the four roads to a scan, the status line while
// it runs and when it ends, cancelling and closing, a second scan, the boxes that
// keep an empty or short list from passing for a clean result, and scans that
// cannot start.
#include <cderr.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "frontend/scan_texts.h"
#include "frontend/status_texts.h"
#include "gui/window_fixture.h"
#include "support/allocation_failure.h"
#include "window/command_ids.h"
#include "window/not_examined_box.h"
#include "window/scan_choice_texts.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

using namespace std::string_literals;
using streamscan::FakeOp;
constexpr std::uint32_t kWarning = MB_ICONWARNING | MB_OK;

TEST_F(WindowTest, CommandLineArgumentsAreScannedInOrderWithTheRepeatsNoted) {
    fs.setCurrentFolder(u"C:\\dl");
    scanCommandLine(*state, L"\"C:\\Program Files\\Tessalin\\tessalin.exe\" sub C:\\dl c:/DL/");
    const std::vector<std::u16string> roots = {u"C:\\dl\\sub", u"C:\\dl"};
    EXPECT_EQ(state->lastRoots, roots);
    EXPECT_EQ(status(), scanStartText(roots, 1, 1));
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(status(), scanEndText(state->stats, 1, 1));
    const std::vector<std::u16string> rows = listed();
    EXPECT_EQ(std::count(rows.begin(), rows.end(), u"C:\\dl\\sub\\deep.txt:payload.exe"), 2);
    scanCommandLine(*state, L"tessalin.exe");  // the program's name alone starts nothing
    EXPECT_FALSE(state->scanning);
}

TEST_F(WindowTest, DroppedItemsAreScannedInDropOrderAndTheDropIsGivenBack) {
    const std::u16string paths = u"C:\\dl\\sub\0C:\\dl\\tool.zip\0c:\\DL\\SUB\\\0\0"s;
    // The first drop finds no memory to copy its names; it is given back all the same.
    for (const long allocations : {0L, -1L}) {
        HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE, sizeof(DROPFILES) + paths.size() * 2);
        auto* header = static_cast<DROPFILES*>(GlobalLock(drop));
        *header = {.pFiles = sizeof(DROPFILES), .fWide = TRUE};
        std::memcpy(header + 1, paths.data(), paths.size() * 2);
        GlobalUnlock(drop);
        testsupport::failAllocationsAfter(allocations);
        SendMessageW(state->listView, WM_DROPFILES, WPARAM(drop), 0);  // the list hands it on
        testsupport::failAllocationsAfter(-1);
        EXPECT_EQ(GlobalFlags(drop), UINT(GMEM_INVALID_HANDLE)) << "DragFinish";
    }
    const std::vector<std::u16string> roots = {u"C:\\dl\\sub", u"C:\\dl\\tool.zip"};
    EXPECT_EQ(state->lastRoots, roots);
    EXPECT_EQ(status(), scanStartText(roots, 1, 0));
}

TEST_F(WindowTest, TheChosenFolderIsScannedACancelSaysNothingAndAVirtualItemIsRefused) {
    // A real folder, so that the shell can make an item of it; the scan reads
    // the same path from the in-memory tree.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::u16string folder = fromWide(temp) + u"tessalin-choice";
    CreateDirectoryW(wideText(folder), nullptr);
    fs.addFolder(folder);
    int special = -1;  // -1: the folder; else a folder of the shell's namespace
    ui.folderDialog = [&](const BROWSEINFOW& info) {
        EXPECT_EQ(fromWide(info.lpszTitle), kFolderDialogTitle);
        EXPECT_EQ(info.ulFlags, UINT(BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE));
        PIDLIST_ABSOLUTE item = nullptr;
        if (special < 0)
            SHParseDisplayName(wideText(folder), nullptr, &item, 0, nullptr);
        else
            SHGetSpecialFolderLocation(nullptr, special, &item);
        return item;
    };
    command(kCmdScanFolder);
    RemoveDirectoryW(wideText(folder));
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(CompareStringOrdinal(wideText(state->lastRoots.at(0)), -1, wideText(folder), -1, 1),
              CSTR_EQUAL);
    special = CSIDL_DRIVES;  // "This PC": no folder on disk
    command(kCmdScanFolder);
    ui.folderDialog = nullptr;  // cancelled
    command(kCmdScanFolder);
    EXPECT_FALSE(state->scanning);
    EXPECT_EQ(ui.boxes, (Boxes{{std::u16string(kNoPathOnDiskText), MB_ICONINFORMATION}}));
}

TEST_F(WindowTest, FileDialogAnswersBecomeRootsOrAStatusText) {
    // Each answer: a choice as the dialog writes it, or one unit with the error
    // code (a buffer too small also gets the size it needs in its first unit).
    std::vector<std::u16string> answers;
    std::vector<DWORD> buffers;
    ui.openDialog = [&](OPENFILENAMEW& dialog) {
        EXPECT_EQ(fromWide(dialog.lpstrTitle), kFileDialogTitle);
        EXPECT_EQ(std::memcmp(dialog.lpstrFilter, L"All files\0*.*\0", 30), 0);
        EXPECT_EQ(dialog.Flags, DWORD(OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST |
                                      OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR));
        buffers.push_back(dialog.nMaxFile);
        const std::u16string answer = answers.at(buffers.size() - 1);
        ui.dialogError = answer.size() == 1 ? answer[0] : 0;
        dialog.lpstrFile[0] = 7000;
        std::memcpy(dialog.lpstrFile, answer.data(), answer.size() > 1 ? answer.size() * 2 : 0);
        return answer.size() > 1;
    };
    const std::u16string chosen = u"C:\\dl\0tool.zip\0setup.exe\0\0"s, tooSmall = u"\x3003";
    const std::vector<std::u16string> roots = {u"C:\\dl\\tool.zip", u"C:\\dl\\setup.exe"};
    const struct {
        std::vector<std::u16string> answers;
        std::u16string status;  // right after the command
    } cases[] = {
        {{tooSmall, chosen}, scanStartText(roots, 0, 0)},
        {{tooSmall, tooSmall}, fileDialogErrorText(FNERR_BUFFERTOOSMALL)},
        {{u"\0"s}, u""},  // cancelled
    };
    for (const auto& c : cases) {
        answers = c.answers;
        buffers.clear();
        state->lastRoots.clear();
        setStatusText(*state, u"");
        command(kCmdScanFile);
        EXPECT_EQ(status(), c.status);
        EXPECT_EQ(state->lastRoots, c.answers.back() == chosen ? roots : decltype(roots){});
        EXPECT_EQ(buffers.front(), kFileDialogBufferChars);
        EXPECT_EQ(buffers.back(), buffers.size() == 2 ? retryBufferSize(7000, buffers.front())
                                                      : kFileDialogBufferChars);
        ASSERT_TRUE(waitForScanEnd());
    }
}

TEST_F(WindowTest, StatusFollowsTheRunningScanWhichRefusesASecondAndIsSortedAtTheEnd) {
    state->sortColumn = 3;  // Size, ascending
    startHeldScan(u"C:\\dl\\sub");
    EXPECT_EQ(status(), scanStartText({u"C:\\dl"}, 0, 0));
    EXPECT_EQ(state->emptyListText, emptyListText({.scanning = true}));
    // What was found before sub arrives in arrival order while the status names sub.
    ASSERT_TRUE(pumpUntil([&] { return itemCount() > 1; }));
    EXPECT_EQ(status(), scanProgressText(u"C:\\dl\\sub"));
    EXPECT_TRUE(std::is_sorted(results().rowOrder.begin(), results().rowOrder.end()));
    scanCommandLine(*state, L"tessalin.exe C:\\other");
    command(kCmdScanFolder);  // grayed, and ignored when sent anyway
    command(kCmdScanFile);
    command(kCmdRescan);
    EXPECT_EQ(ui.boxes, (Boxes{{std::u16string(kScanAlreadyRunningText), MB_ICONINFORMATION}}));
    SetEvent(fs.open);
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(status(), kScanCompleteText);
    const StatusState ended{.scanEnded = true,
                            .stats = state->stats,
                            .streamRowCount = results().rowOrder.size(),
                            .listEmpty = false};
    EXPECT_EQ(status(1), scanCountsText(ended));
    EXPECT_EQ(status(2), streamsListedText(ended));
    EXPECT_EQ(status(3), notExaminedSummary(state->stats, true));
    std::vector<std::uint64_t> sizes;
    for (int row = 0; row < itemCount(); ++row)
        sizes.push_back(recordAt(row).streamSize);
    EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));
    EXPECT_EQ(state->stats.unreadableStreams, 1u);  // no box: broken.bin's row says so itself
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(WindowTest, CancelSaysCancellingUntilTheWorkerStopsThenExplainsTheEmptyList) {
    startHeldScan(u"C:\\dl");
    command(kCmdCancelScan);
    pumpUntil([] { return false; }, 350ms);
    EXPECT_EQ(status(), kCancellingText);  // the worker's progress does not overwrite it
    SetEvent(fs.open);
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(status(), kScanCancelledText);
    EXPECT_EQ(ui.boxes, (Boxes{{emptyResultMessageText(state->stats), kWarning}}));
    scan();  // the cancel does not carry over
    EXPECT_EQ(status(), kScanCompleteText);
}

TEST_F(WindowTest, ClosingDuringAScanWaitsForTheWorkerWithoutBoxes) {
    startHeldScan(u"C:\\dl\\sub");
    HWND window = state->window;
    PostMessageW(window, WM_CLOSE, 0, 0);  // a second close, met while the window waits
    std::u16string statusWhileWaiting;
    std::thread releaser([&] {
        Sleep(400);
        statusWhileWaiting = status();  // answered by the window inside its wait
        SetEvent(fs.open);
    });
    SendMessageW(window, WM_CLOSE, 0, 0);  // returns once the worker has stopped
    releaser.join();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(statusWhileWaiting, kCancellingBeforeClosingText);
    EXPECT_EQ(ui.boxes, Boxes{});
    EXPECT_TRUE(state->stats.cancelled);
    EXPECT_FALSE(results().rowOrder.empty());  // what was handed over was still taken in
}

TEST_F(WindowTest, TheEndOfAScanExplainsVolumesWithoutStreamsAndWhatWasNotExamined) {
    fs.addVolume(u"E:\\", u"FAT32", false);
    fs.addFolder(u"E:\\stick");
    scan({u"C:\\dl", u"E:\\stick"}, false);
    // The worker asked each root's volume once; the window asked none itself.
    EXPECT_EQ(fs.calls(FakeOp::queryVolume), 2u);
    const ScanEndExplanation volumes = scanEndExplanation(state->stats, true, state->lastRoots, fs);
    fs.addFolder(u"C:\\locked\\inner");
    fs.addFolder(u"C:\\locked\\junction", 0x410);
    fs.refuse(FakeOp::startListing, u"C:\\locked\\inner");
    scan({u"C:\\locked"}, false);
    command(kCmdNotExamined);
    using streamscan::PlaceKind;
    const std::vector<streamscan::NotExaminedPlace> places = {
        {u"C:\\locked\\junction", PlaceKind::linkNotFollowed, 0},
        {u"C:\\locked\\inner", PlaceKind::accessDenied, 5}};
    EXPECT_EQ(ui.boxes, (Boxes{{volumes.text, kWarning},
                               {emptyResultMessageText(state->stats), kWarning},
                               boxOf(notExaminedBoxMessage(places, 2))}));
    scan({u"C:\\dl\\sub\\empty"}, false);  // complete and empty: no box, no place
    EXPECT_EQ(ui.boxes.size(), 3u);
    EXPECT_TRUE(menuGrayed(kCmdNotExamined));
}

TEST_F(WindowTest, AScanWithoutThreadOrTimerDoesNotStartAndTheWindowCanTryAgain) {
    state->startWorker = [](unsigned(__stdcall*)(void*), void*) -> HANDLE { return nullptr; };
    startScan(*state, {u"C:\\dl"});
    state->startWorker = nullptr;
    state->setTimer = [](HWND, UINT_PTR, UINT, TIMERPROC) -> UINT_PTR { return 0; };
    command(kCmdRescan);
    state->setTimer = &SetTimer;
    EXPECT_EQ(ui.boxes, (Boxes{{std::u16string(kScanNotStartedBoxText), MB_ICONERROR},
                               {u"The scan could not be started: this program was unable to "
                                u"create a timer for it.",
                                MB_ICONERROR}}));
    pumpUntil([] { return false; }, 250ms);  // no timer was left to end a scan never started
    EXPECT_EQ(status(), kScanNotStartedText);
    EXPECT_TRUE(menuGrayed(kCmdCancelScan));
    command(kCmdRescan);
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(status(), kScanCompleteText);
}

TEST_F(WindowTest, RowsThatFindNoRoomInTheListAreCountedAndSaidToBeMissing) {
    startHeldScan(u"C:\\dl\\sub");  // what was found before sub waits to be drained
    testsupport::failAllocationsAfter(0);
    onScanTimer(*state);
    testsupport::failAllocationsAfter(-1);
    SetEvent(fs.open);
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(status(),
              u"Scan complete. There was not enough memory to list everything the scan "
              u"found: 8 rows are missing from the list.");
    EXPECT_EQ(listed(), std::vector<std::u16string>{u"C:\\dl\\sub\\deep.txt:payload.exe"});
}

TEST_F(WindowTest, ViewOptionsToggleWhileIdleAndReachOnlyTheNextScan) {
    command(kCmdShowItemsWithoutStreams);
    startScan(*state, {u"C:\\dl"});
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_NE(rowOf(u"readme.txt", u""), -1);
    const std::vector<std::u16string> before = listed();
    command(kCmdIncludeSubfolders);
    EXPECT_EQ(status(), kNextScanText);
    EXPECT_EQ(listed(), before);  // the list on screen does not change
    command(kCmdRescan);
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(rowOf(u"deep.txt", u"payload.exe"), -1);
    startHeldScan(u"C:\\dl");
    command(kCmdIncludeFolders);  // ignored during a scan
    EXPECT_TRUE(state->scanOptions.includeFolders);
    for (const auto& [id, on] : {std::pair{kCmdIncludeSubfolders, false},
                                 {kCmdIncludeFolders, true},
                                 {kCmdShowItemsWithoutStreams, true}})
        EXPECT_EQ((GetMenuState(GetMenu(state->window), id, 0) & MF_CHECKED) != 0, on) << id;
}

}  // namespace
}  // namespace tessalin::gui
