// Real scans in the real window, on an in-memory tree: what the status line
// says while a scan runs and when it ends, cancelling, closing during a scan,
// refusing a second scan, the note on repeated roots, and the boxes that keep
// an empty or short list from passing for a clean result.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <thread>

#include "engine/file_system.h"
#include "engine/not_examined.h"
#include "gui/scan_driving.h"
#include "support/allocation_failure.h"
#include "window/command_ids.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

using namespace std::chrono_literals;
using streamscan::FakeOp;

constexpr std::u16string_view kComplete = u"Scan complete.";
constexpr std::u16string_view kCancelled =
    u"Scan cancelled - what is listed covers only part of the tree.";
constexpr std::uint32_t kWarningOk = MB_ICONWARNING | MB_OK;

const std::u16string kNothingListedParagraph =
    u"\n\nNothing was listed for those locations. That is not the same as their being clean: "
    u"a volume like this has nowhere to keep a stream.";
const std::u16string kEmptyListParagraph =
    u"\n\nAn empty list only means \"nothing found\" for the part of the tree that could be "
    u"read.";

std::u16string volumeBoxText(const std::u16string& lines) {
    return u"Alternate data streams are an NTFS feature, and 1 location in this scan sit on a "
           u"volume that cannot hold one.\n" +
           lines + kNothingListedParagraph;
}

TEST_F(ScanWindowTest, StatusFollowsTheRunningScanAndEndsComplete) {
    addSampleTree();
    fs.closeGateAt(u"C:\\data\\sub");
    startScan(*state, {u"C:\\data"});
    EXPECT_EQ(statusText(), u"Scanning: C:\\data");
    EXPECT_TRUE(state->scanning);
    EXPECT_EQ(state->emptyListText,
              u"Scanning - nothing with an alternate data stream has turned up yet.");
    EXPECT_TRUE(menuGrayed(kCmdScanFolder));
    EXPECT_FALSE(menuGrayed(kCmdCancelScan));

    ASSERT_TRUE(fs.waitUntilHeld());
    // The worker waits at C:\data\sub: the two streams found before it arrive
    // at the bottom while the status names the folder being listed.
    ASSERT_TRUE(pumpWatchingStatus([&] {
        return statusText() == u"Scanning: C:\\data\\sub" && itemCount(state->listView) == 2;
    })) << "status: "
        << std::string(statusText().begin(), statusText().end());
    EXPECT_EQ(statusPartText(state->statusBar, 2), u"2 streams listed");
    EXPECT_TRUE(state->scanning);
    EXPECT_FALSE(menuGrayed(kCmdSelectAll));  // with the first rows

    fs.open();
    ASSERT_TRUE(waitForScanEnd());
    ASSERT_GE(statusSeen.size(), 2u);
    EXPECT_EQ(statusSeen[statusSeen.size() - 2], u"Scanning: C:\\data\\sub");
    EXPECT_EQ(statusSeen.back(), kComplete);
    EXPECT_EQ(listedStreams(), (std::vector<std::u16string>{u"C:\\data\\a.txt:Zone.Identifier",
                                                            u"C:\\data\\b.txt:notes",
                                                            u"C:\\data\\sub\\c.txt:payload.exe"}));
    EXPECT_EQ(itemCount(state->listView), 3);
    EXPECT_EQ(statusPartText(state->statusBar, 1), u"4 files, 2 folders, 3 with streams");
    EXPECT_EQ(statusPartText(state->statusBar, 3), u"Nothing was skipped");
    EXPECT_FALSE(state->scanning);
    EXPECT_TRUE(state->scanEnded);
    EXPECT_FALSE(state->scanThread);
    EXPECT_FALSE(menuGrayed(kCmdRescan));
    EXPECT_FALSE(menuGrayed(kCmdExportCsv));
    EXPECT_TRUE(menuGrayed(kCmdCancelScan));
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ScanWindowTest, CancelSaysCancellingUntilTheWorkerStopsThenExplainsTheEmptyList) {
    addSampleTree();
    fs.closeGateAt(u"C:\\data");
    startScan(*state, {u"C:\\data"});
    // The worker has reported C:\data and waits; nothing has been drained yet,
    // so that report is still pending when the cancel comes.
    ASSERT_TRUE(fs.waitUntilHeld());
    command(kCmdCancelScan);
    EXPECT_EQ(statusText(), u"Cancelling...");
    EXPECT_FALSE(menuGrayed(kCmdCancelScan));  // nothing changes until the scan ends

    statusSeen.clear();
    pumpWatchingStatus([] { return false; }, 350ms);
    EXPECT_EQ(statusSeen, (std::vector<std::u16string>{u"Cancelling..."}));
    EXPECT_TRUE(state->scanning);

    fs.open();
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(statusSeen,
              (std::vector<std::u16string>{u"Cancelling...", std::u16string(kCancelled)}));
    EXPECT_EQ(statusPartText(state->statusBar, 3), u"\u26A0 Stopped before the end");
    EXPECT_EQ(state->emptyListText, u"The scan was cancelled before anything was listed.");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].owner, state->window);
    EXPECT_EQ(dialogs.boxes[0].style, kWarningOk);
    EXPECT_EQ(dialogs.boxes[0].text,
              u"No alternate data streams were listed, and the scan was stopped before it "
              u"finished.\n\nA scan that was stopped says nothing at all about the part of the "
              u"tree it never reached, and where several locations were chosen it may not have "
              u"opened some of them." +
                  kEmptyListParagraph);

    // The next scan starts clean: the cancel does not carry over.
    startScan(*state, {u"C:\\data"});
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(statusText(), kComplete);
    EXPECT_EQ(itemCount(state->listView), 3);
}

TEST_F(ScanWindowTest, ClosingDuringAScanClosesWithoutBoxesOnceTheWorkerStops) {
    addSampleTree();
    fs.closeGateAt(u"C:\\data\\sub");
    startScan(*state, {u"C:\\data"});
    ASSERT_TRUE(fs.waitUntilHeld());
    HWND window = state->window;

    // A second close waits in the queue and reaches the window while it waits.
    PostMessageW(window, WM_CLOSE, 0, 0);
    HWND statusBar = state->statusBar;
    std::u16string statusWhileWaiting;
    std::thread releaser([&] {
        Sleep(400);
        // Answered by the window's thread inside its wait, so it keeps responding.
        statusWhileWaiting = statusPartText(statusBar, 0);
        fs.open();
    });
    SendMessageW(window, WM_CLOSE, 0, 0);  // returns once the worker has stopped
    releaser.join();

    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(statusWhileWaiting, u"Cancelling the scan before closing...");
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(state->scanning);
    EXPECT_FALSE(state->scanThread);
    EXPECT_TRUE(state->stats.cancelled);
    // What the worker had handed over before it stopped was still taken in.
    EXPECT_EQ(state->rows.rowOrder.size(), 2u);
}

TEST_F(ScanWindowTest, ASecondScanIsRefusedWhileOneRuns) {
    addSampleTree();
    fs.addFolder(u"C:\\other");
    fs.closeGateAt(u"C:\\data\\sub");
    startScan(*state, {u"C:\\data"});
    ASSERT_TRUE(fs.waitUntilHeld());

    SendMessageW(state->window, WM_DROPFILES,
                 reinterpret_cast<WPARAM>(makeDropHandle({u"C:\\other"})), 0);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text,
              u"A scan is already running. Cancel it before starting another.");
    EXPECT_EQ(dialogs.boxes[0].style, static_cast<std::uint32_t>(MB_ICONINFORMATION | MB_OK));
    EXPECT_EQ(dialogs.boxes[0].owner, state->window);
    EXPECT_EQ(state->lastRoots, std::vector<std::u16string>{u"C:\\data"});

    // The dialog commands and Rescan are grayed and ignore the command.
    command(kCmdScanFolder);
    command(kCmdScanFile);
    command(kCmdRescan);
    EXPECT_TRUE(dialogs.browseCalls.empty());
    EXPECT_TRUE(dialogs.openCalls.empty());
    EXPECT_EQ(dialogs.boxes.size(), 1u);

    fs.open();
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(statusText(), kComplete);
    EXPECT_EQ(itemCount(state->listView), 3);
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(ScanWindowTest, RepeatedAndNestedRootsAreNotedWhileScanningAndAtTheEnd) {
    addSampleTree();
    fs.addFolder(u"C:\\data2");
    fs.addFile(u"C:\\data2\\z.txt");
    fs.addStream(u"C:\\data2\\z.txt", u"tag", "z");
    const std::u16string twice = u" (1 location was named twice and scanned once)";
    const std::u16string inside =
        u" (1 location sits inside another, so some streams are listed twice)";
    const struct {
        const wchar_t* commandLine;
        std::vector<std::u16string> roots;
        std::u16string startText;
        std::u16string endText;
        std::size_t rows;
    } cases[] = {
        {L"tessalin.exe C:\\data c:\\DATA\\",
         {u"C:\\data"},
         u"Scanning: C:\\data" + twice,
         u"Scan complete." + twice,
         3},
        {L"tessalin.exe C:\\data C:\\data\\sub",
         {u"C:\\data", u"C:\\data\\sub"},
         u"Scanning 2 locations..." + inside,
         u"Scan complete." + inside,
         4},
        {L"tessalin.exe C:\\data C:\\data2",
         {u"C:\\data", u"C:\\data2"},
         u"Scanning 2 locations...",
         u"Scan complete.",
         4},
        {L"tessalin.exe C:\\data\\ c:/data C:\\data\\sub\\ C:\\Data\\SUB",
         {u"C:\\data\\", u"C:\\data\\sub\\"},
         u"Scanning 2 locations... (2 locations were named twice and scanned once)" + inside,
         u"Scan complete. (2 locations were named twice and scanned once)" + inside,
         4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.commandLine));
        scanCommandLine(*state, c.commandLine);
        EXPECT_EQ(statusText(), c.startText);
        EXPECT_EQ(state->lastRoots, c.roots);
        ASSERT_TRUE(waitForScanEnd());
        EXPECT_EQ(statusText(), c.endText);
        EXPECT_EQ(state->rows.rowOrder.size(), c.rows);
    }
    // Nested roots list the streams below the inner root once for each root.
    scanCommandLine(*state, L"tessalin.exe C:\\data C:\\data\\sub");
    ASSERT_TRUE(waitForScanEnd());
    const auto streams = listedStreams();
    EXPECT_EQ(std::count(streams.begin(), streams.end(), u"C:\\data\\sub\\c.txt:payload.exe"), 2);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ScanWindowTest, ASortedListTakesRowsInArrivalOrderAndIsSortedAgainAtTheEnd) {
    addSampleTree();
    state->sortColumn = 3;  // Size, ascending: payload.exe 3, notes 6, Zone.Identifier 26 bytes
    state->sortAscending = true;
    fs.closeGateAt(u"C:\\data\\sub");
    startScan(*state, {u"C:\\data"});
    ASSERT_TRUE(fs.waitUntilHeld());
    ASSERT_TRUE(pumpUntil([&] { return state->rows.rowOrder.size() == 2; }));
    EXPECT_EQ(listedStreams(), (std::vector<std::u16string>{u"C:\\data\\a.txt:Zone.Identifier",
                                                            u"C:\\data\\b.txt:notes"}));
    fs.open();
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(listedStreams(), (std::vector<std::u16string>{u"C:\\data\\sub\\c.txt:payload.exe",
                                                            u"C:\\data\\b.txt:notes",
                                                            u"C:\\data\\a.txt:Zone.Identifier"}));
    EXPECT_EQ(state->sortColumn, 3);
    EXPECT_TRUE(state->sortAscending);
}

TEST_F(ScanWindowTest, VolumesWithoutStreamsAreExplainedByNameEvenBesideRows) {
    addSampleTree();
    fs.addVolume(u"E:\\", u"FAT32", false);
    fs.addFolder(u"E:\\stick");
    fs.addVolume(u"F:\\", u"", false);
    fs.addFolder(u"F:\\odd");
    fs.addVolume(u"G:\\", u"fs\u0007name", false);
    fs.addFolder(u"G:\\x");
    const struct {
        std::vector<std::u16string> roots;
        std::size_t rows;
        std::u16string text;
    } cases[] = {
        {{u"E:\\stick"}, 0, volumeBoxText(u"\n    E:\\stick  (FAT32)")},
        // Rows from another volume do not hide the one that holds no streams.
        {{u"C:\\data", u"E:\\stick"}, 3, volumeBoxText(u"\n    E:\\stick  (FAT32)")},
        // No name, no parenthesis; a name is escaped like every shown text.
        {{u"F:\\odd"}, 0, volumeBoxText(u"\n    F:\\odd")},
        {{u"G:\\x"}, 0, volumeBoxText(u"\n    G:\\x  (fs<U+0007>name)")},
    };
    for (const auto& c : cases) {
        dialogs.boxes.clear();
        const std::uint64_t queriesBefore = fs.calls(FakeOp::queryVolume);
        startScan(*state, c.roots);
        ASSERT_TRUE(waitForScanEnd());
        // The worker's answers name the volumes: the window asks none itself.
        EXPECT_EQ(fs.calls(FakeOp::queryVolume) - queriesBefore, c.roots.size());
        EXPECT_EQ(state->rows.rowOrder.size(), c.rows);
        ASSERT_EQ(dialogs.boxes.size(), 1u) << "one box only";
        EXPECT_EQ(dialogs.boxes[0].text, c.text);
        EXPECT_EQ(dialogs.boxes[0].style, kWarningOk);
        EXPECT_EQ(dialogs.boxes[0].owner, state->window);
        EXPECT_EQ(dialogs.boxes[0].caption, u"Tessalin");
    }
}

TEST_F(ScanWindowTest, AnEmptyListIsExplainedOnlyWhenTheScanDidNotReachEverything) {
    fs.addVolume(u"C:\\", u"NTFS", true);
    fs.addFile(u"C:\\clean\\plain.txt", "x");
    fs.addFolder(u"C:\\linked\\junction", 0x410);
    fs.addFolder(u"C:\\locked\\inner");
    fs.addFolder(u"C:\\locked\\junction", 0x410);
    fs.refuse(FakeOp::startListing, u"C:\\locked\\inner");
    fs.addFile(u"C:\\broken\\f.txt");
    // The listing breaks off after "." and "..", before the file.
    fs.setFault(FakeOp::startListing, u"C:\\broken", {1117, 2});
    fs.addFile(u"C:\\unreadable\\u.txt");
    fs.addStream(u"C:\\unreadable\\u.txt", u"secret", "s");
    fs.refuse(FakeOp::openStream, u"C:\\unreadable\\u.txt:secret:$DATA");
    const struct {
        const char* what;
        std::u16string root;
        std::u16string box;  // empty: none
    } cases[] = {
        {"a complete scan that found nothing", u"C:\\clean", u""},
        {"links skipped alone", u"C:\\linked", u""},
        {"a denied folder beside a skipped link", u"C:\\locked",
         u"No alternate data streams were listed, and the scan did not reach everything:\n"
         u"    Access denied: 1\n    Junctions and symlinks not followed: 1" +
             kEmptyListParagraph},
        {"a listing that broke off", u"C:\\broken",
         u"No alternate data streams were listed, and the scan did not reach everything:\n"
         u"    Could not be listed: 1" +
             kEmptyListParagraph},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.boxes.clear();
        startScan(*state, {c.root});
        ASSERT_TRUE(waitForScanEnd());
        EXPECT_EQ(statusText(), kComplete);
        if (c.box.empty()) {
            EXPECT_TRUE(dialogs.boxes.empty());
        } else {
            ASSERT_EQ(dialogs.boxes.size(), 1u);
            EXPECT_EQ(dialogs.boxes[0].text, c.box);
            EXPECT_EQ(dialogs.boxes[0].style, kWarningOk);
        }
    }
    // An unreadable stream is listed as a row, so the list is not empty and
    // needs no box: the row itself says it.
    dialogs.boxes.clear();
    startScan(*state, {u"C:\\unreadable"});
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(state->rows.rowOrder.size(), 1u);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ScanWindowTest, NotExaminedListsThePlacesOfTheLastScanAndIsGrayedWithoutThem) {
    fs.addVolume(u"C:\\", u"NTFS", true);
    fs.addFolder(u"C:\\clean");
    fs.addFolder(u"C:\\locked\\inner");
    fs.addFolder(u"C:\\locked\\junction", 0x410);
    fs.refuse(FakeOp::startListing, u"C:\\locked\\inner");
    EXPECT_TRUE(menuGrayed(kCmdNotExamined));

    startScan(*state, {u"C:\\locked"});
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_FALSE(menuGrayed(kCmdNotExamined));
    dialogs.boxes.clear();
    command(kCmdNotExamined);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    const std::u16string& text = dialogs.boxes[0].text;
    for (const streamscan::NotExaminedPlace& place :
         {streamscan::NotExaminedPlace{u"C:\\locked\\inner", streamscan::PlaceKind::accessDenied,
                                       5},
          streamscan::NotExaminedPlace{u"C:\\locked\\junction",
                                       streamscan::PlaceKind::linkNotFollowed, 0}}) {
        EXPECT_NE(text.find(u"\n    " + streamscan::notExaminedPlaceText(place)),
                  std::u16string::npos)
            << std::string(text.begin(), text.end());
    }
    EXPECT_EQ(dialogs.boxes[0].style, static_cast<std::uint32_t>(MB_ICONINFORMATION | MB_OK));

    // A scan that examined everything has nothing to name.
    startScan(*state, {u"C:\\clean"});
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_TRUE(menuGrayed(kCmdNotExamined));
}

TEST_F(ScanWindowTest, ARealFolderUnderTheWin32PortGetsTheVolumeBoxNamingItsFileSystem) {
    state->fileSystem = &streamscan::nativeFileSystem();
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder =
        std::wstring(temp) + L"tessalin-scan-" + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    const std::wstring file = folder + L"\\plain.txt";
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);

    // What the system itself says of the volume.
    wchar_t volume[MAX_PATH] = {};
    wchar_t fileSystemName[MAX_PATH + 1] = {};
    DWORD flags = 0;
    ASSERT_TRUE(GetVolumePathNameW(folder.c_str(), volume, MAX_PATH));
    ASSERT_TRUE(GetVolumeInformationW(volume, nullptr, 0, nullptr, nullptr, &flags, fileSystemName,
                                      MAX_PATH + 1));
    ASSERT_EQ(flags & FILE_NAMED_STREAMS, 0u) << "this system keeps streams: nothing to explain";

    const std::u16string root = fromWide(folder.c_str());
    startScan(*state, {root});
    ASSERT_TRUE(waitForScanEnd());
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());

    EXPECT_EQ(statusText(), kComplete);
    EXPECT_EQ(state->stats.volumesWithoutStreams, 1u);
    EXPECT_EQ(state->emptyListText, u"This volume cannot hold alternate data streams.");
    std::u16string line = u"\n    " + root;
    if (fileSystemName[0] != L'\0')
        line += u"  (" + fromWide(fileSystemName) + u")";
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, volumeBoxText(line));
    EXPECT_EQ(dialogs.boxes[0].style, kWarningOk);
}

TEST_F(ScanWindowTest, AThreadThatCannotStartLeavesAnIdleWindowThatCanTryAgain) {
    addSampleTree();
    startScan(*state, {u"C:\\data"});
    ASSERT_TRUE(waitForScanEnd());
    ASSERT_EQ(itemCount(state->listView), 3);

    state->startWorker = [](unsigned(__stdcall*)(void*), void*) -> HANDLE { return nullptr; };
    startScan(*state, {u"C:\\data\\sub"});
    EXPECT_EQ(statusText(), u"The scan could not be started.");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text,
              u"The scan could not be started: this program was unable to create a thread for "
              u"it.");
    EXPECT_EQ(dialogs.boxes[0].style, static_cast<std::uint32_t>(MB_ICONERROR | MB_OK));
    EXPECT_FALSE(state->scanning);
    EXPECT_FALSE(state->scanThread);
    EXPECT_EQ(itemCount(state->listView), 0);  // the results were cleared before the thread
    EXPECT_NE(state->emptyListText,
              u"Scanning - nothing with an alternate data stream has turned up yet.");
    EXPECT_FALSE(menuGrayed(kCmdScanFolder));
    EXPECT_TRUE(menuGrayed(kCmdCancelScan));
    EXPECT_FALSE(menuGrayed(kCmdRescan));
    pumpFor(250ms);  // no timer was left running to end a scan that never started
    EXPECT_EQ(statusText(), u"The scan could not be started.");

    // Without the timer, no tick would ever end the scan: it does not start.
    state->startWorker = nullptr;
    state->setTimer = [](HWND, UINT_PTR, UINT, TIMERPROC) -> UINT_PTR { return 0; };
    command(kCmdRescan);
    state->setTimer = &SetTimer;
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[1].text,
              u"The scan could not be started: this program was unable to create a timer for it.");
    EXPECT_FALSE(state->scanning);
    EXPECT_FALSE(state->scanThread);

    command(kCmdRescan);
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(statusText(), kComplete);
    EXPECT_EQ(listedStreams(), std::vector<std::u16string>{u"C:\\data\\sub\\c.txt:payload.exe"});
}

TEST_F(ScanWindowTest, RowsThatFindNoRoomInTheListAreCountedAndSaidToBeMissing) {
    addSampleTree();
    fs.closeGateAt(u"C:\\data\\sub");
    startScan(*state, {u"C:\\data"});
    ASSERT_TRUE(fs.waitUntilHeld());  // two records wait in the hand-over area
    testsupport::failAllocationsAfter(0);
    onScanTimer(*state);
    testsupport::failAllocationsAfter(-1);
    EXPECT_EQ(itemCount(state->listView), 0);
    fs.open();
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(statusText(),
              u"Scan complete. There was not enough memory to list everything the scan found: "
              u"2 rows are missing from the list.");
    EXPECT_EQ(listedStreams(), std::vector<std::u16string>{u"C:\\data\\sub\\c.txt:payload.exe"});
}

TEST_F(ScanWindowTest, ViewOptionsReachOnlyTheNextScan) {
    addSampleTree();
    startScan(*state, {u"C:\\data"});
    ASSERT_TRUE(waitForScanEnd());
    command(kCmdIncludeSubfolders);
    EXPECT_EQ(state->rows.rowOrder.size(), 3u);  // the list on screen does not change
    command(kCmdRescan);
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(listedStreams(), (std::vector<std::u16string>{u"C:\\data\\a.txt:Zone.Identifier",
                                                            u"C:\\data\\b.txt:notes"}));
}

}  // namespace
}  // namespace tessalin::gui
