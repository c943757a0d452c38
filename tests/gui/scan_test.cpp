// Real scans in the real window: the command line and a drop, the status line
// while a scan runs and when it ends, closing during a scan, and the boxes that
// keep an empty or short list from passing for a clean result.
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "frontend/scan_texts.h"
#include "window/status_texts.h"
#include "engine/unicode.h"
#include "gui/window_fixture.h"
#include "support/allocation_failure.h"
#include "window/command_ids.h"
#include "window/places_table.h"

namespace tessalin::gui {
namespace {

using namespace std::string_literals;
using streamscan::FakeOp;
constexpr std::uint32_t kWarning = MB_ICONWARNING | MB_OK;

TEST_F(WindowTest, CommandLineArgumentsAreScannedInOrderWithTheRepeatsNoted) {
    fs.setCurrentFolder(u"C:\\dl");
    scanCommandLine(*state, L"\"C:\\Program Files\\Tessalin\\tessalin.exe\" sub C:\\dl c:/DL/");
    const std::vector<std::u16string> roots = {u"C:\\dl\\sub", u"C:\\dl"};
    EXPECT_EQ(state->scan.roots, roots);
    EXPECT_EQ(status(), scanStartText(roots, 1, 1));
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(status(), scanEndText(state->scan.stats, 1, 1));
    const std::vector<std::u16string> rows = listed();
    EXPECT_EQ(std::count(rows.begin(), rows.end(), u"C:\\dl\\sub\\deep.txt:payload.exe"), 2);
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
    EXPECT_EQ(state->scan.roots, roots);
    EXPECT_EQ(status(), scanStartText(roots, 1, 0));
}

TEST_F(WindowTest, StatusFollowsTheRunningScanWhichRefusesASecondAndIsSortedAtTheEnd) {
    state->sortColumn = 3;  // Size, ascending
    startHeldScan(u"C:\\dl\\sub");
    EXPECT_EQ(status(), scanStartText({u"C:\\dl"}, 0, 0));
    // What was found before sub arrives in arrival order while the status names sub.
    ASSERT_TRUE(pumpUntil([&] { return itemCount() > 1; }));
    EXPECT_EQ(status(), scanProgressText(u"C:\\dl\\sub"));
    EXPECT_TRUE(std::is_sorted(results().rowOrder.begin(), results().rowOrder.end()));
    scanCommandLine(*state, L"tessalin.exe C:\\other");
    command(kCmdScanFolder);  // grayed, and ignored when sent anyway
    command(kCmdScanFile);
    command(kCmdRescan);
    EXPECT_EQ(ui.boxes, (Boxes{{std::u16string(kScanAlreadyRunningText), MB_ICONINFORMATION}}));
    SetEvent(fs.open.get());
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(status(), kScanCompleteText);
    const StatusState ended{.scanEnded = true,
                            .stats = state->scan.stats,
                            .streamRowCount = results().rowOrder.size(),
                            .listEmpty = false};
    EXPECT_EQ(status(1), scanCountsText(ended));
    EXPECT_EQ(status(2), streamsListedText(ended));
    EXPECT_EQ(status(3), notExaminedSummary(state->scan.stats, true));
    ResultRows sorted = results();
    ASSERT_TRUE(sorted.sortBy(3, true));
    EXPECT_EQ(results().rowOrder, sorted.rowOrder);
    EXPECT_EQ(ui.boxes.size(), 1u);  // none for broken.bin: its row says it could not be read
}

TEST_F(WindowTest, ClosingDuringAScanWaitsForTheWorkerWithoutBoxes) {
    startHeldScan(u"C:\\dl\\sub");
    HWND window = state->window;
    PostMessageW(window, WM_CLOSE, 0, 0);  // a second close, met while the window waits
    std::u16string statusWhileWaiting;
    std::thread releaser([&] {
        Sleep(400);
        statusWhileWaiting = status();  // answered by the window inside its wait
        SetEvent(fs.open.get());
    });
    SendMessageW(window, WM_CLOSE, 0, 0);  // returns once the worker has stopped
    releaser.join();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(statusWhileWaiting, kCancellingBeforeClosingText);
    EXPECT_EQ(ui.boxes, Boxes{});
    EXPECT_FALSE(results().rowOrder.empty());  // what was handed over was still taken in
}

TEST_F(WindowTest, TheEndOfAScanExplainsVolumesWithoutStreamsAndWhatWasNotExamined) {
    fs.addVolume(u"E:\\", u"FAT32", false);
    fs.addFolder(u"E:\\stick");
    scan({u"C:\\dl", u"E:\\stick"}, false);
    EXPECT_EQ(fs.calls(FakeOp::queryVolume), 2u);  // the worker's answers, not asked again
    const ScanEndExplanation volumes =
        scanEndExplanation(state->scan.stats, true, state->scan.roots, fs);
    // More places than a box could hold: the dialog lists every one, sorts and copies them.
    std::vector<streamscan::NotExaminedPlace> places;
    for (int i = 0; i < 1200; ++i) {
        const std::u16string folder = u"C:\\locked\\" + streamscan::widenAscii(std::to_string(i));
        fs.addFolder(folder);
        fs.refuse(FakeOp::startListing, folder);
        places.push_back({folder, streamscan::PlaceKind::accessDenied, 5});
    }
    fs.addFolder(u"C:\\locked\\junction", 0x410);
    scan({u"C:\\locked"}, false);
    places.push_back({u"C:\\locked\\junction", streamscan::PlaceKind::linkNotFollowed, 0});
    PlacesTable expected(places);
    expected.sortBy(1);
    expected.sortBy(1);  // by reason, descending: the link first
    int listed = 0;
    RECT shown{};
    ui.dialog = [&](HWND dialog) {
        HWND list = GetDlgItem(dialog, 1601);
        listed = ListView_GetItemCount(list);
        GetWindowRect(dialog, &shown);
        for (int click = 0; click < 2; ++click) {
            NMLISTVIEW header{{list, 1601, LVN_COLUMNCLICK}, -1, 1};
            SendMessageW(dialog, WM_NOTIFY, 1601, reinterpret_cast<LPARAM>(&header));
        }
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(1602, BN_CLICKED), 0);      // Copy
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);  // Close
        EXPECT_FALSE(IsWindow(dialog));
    };
    command(kCmdNotExamined);
    EXPECT_EQ(listed, 1201);
    EXPECT_TRUE(IsWindowEnabled(state->window));
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_LE(shown.bottom - shown.top, screenHeight);
    EXPECT_EQ(status(), copiedPlacesText(1201));
    OpenClipboard(state->window);
    EXPECT_EQ(fromWide(static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)))),
              expected.copyText());
    GlobalUnlock(GetClipboardData(CF_UNICODETEXT));
    CloseClipboard();
    EXPECT_EQ(ui.boxes, (Boxes{{volumes.text, kWarning},
                               {emptyResultMessageText(state->scan.stats), kWarning}}));
}

}  // namespace
}  // namespace tessalin::gui
