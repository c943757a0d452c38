#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "gui/gui_support.h"
#include "window/command_ids.h"
#include "window/product_info.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

using namespace std::chrono_literals;

TEST_F(MainWindowTest, OpensWithTitleMenusButtonsColumnsAndReadyStatus) {
    HWND window = state->window;
    EXPECT_EQ(windowText(window), u"Tessalin");
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    EXPECT_EQ(fromWide(className), u"TessalinWindow");
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    HMENU bar = GetMenu(window);
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 4);
    const char16_t* titles[] = {u"&File", u"&Stream", u"&View", u"&Help"};
    for (UINT i = 0; i < 4; ++i)
        EXPECT_EQ(menuItemText(bar, i), titles[i]);
    struct Item {
        int popup;
        std::vector<std::u16string> texts;  // "" is a separator
    } items[] = {
        {0,
         {u"Scan &Folder...", u"Scan F&ile...", u"&Rescan\tF5", u"&Cancel Scan\tEsc", u"",
          u"&Export CSV...", u"", u"E&xit"}},
        {1,
         {u"&Delete Selected Streams...\tDel", u"", u"&Copy Path", u"Copy &Row",
          u"&Open Containing Folder", u"&Properties", u"", u"Select &All\tCtrl+A", u"",
          u"Not &Examined..."}},
        {2, {u"Include &subfolders", u"Include &folders", u"Show items &without streams"}},
        {3, {u"&About Tessalin"}},
    };
    for (const auto& item : items) {
        HMENU popup = GetSubMenu(bar, item.popup);
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(item.texts.size()));
        for (UINT i = 0; i < item.texts.size(); ++i) {
            EXPECT_EQ(menuItemText(popup, i), item.texts[i]) << item.popup << "/" << i;
            const bool separator = (GetMenuState(popup, i, MF_BYPOSITION) & MF_SEPARATOR) != 0;
            EXPECT_EQ(separator, item.texts[i].empty());
        }
    }

    const struct {
        int id;
        const char16_t* text;
    } buttons[] = {{1001, u"Scan Folder..."},    {1002, u"Scan File..."},
                   {1003, u"Rescan (F5)"},       {1004, u"Cancel"},
                   {1101, u"Delete Streams..."}, {1005, u"Export CSV..."}};
    int previousRight = 0;
    for (const auto& b : buttons) {
        HWND button = GetDlgItem(window, b.id);
        ASSERT_NE(button, nullptr) << b.id;
        EXPECT_EQ(windowText(button), b.text);
        RECT r;
        GetWindowRect(button, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_GT(r.left, previousRight);  // one row, left to right
        previousRight = r.right;
    }

    HWND list = GetDlgItem(window, kListViewId);
    ASSERT_EQ(list, state->listView);
    EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & LVS_OWNERDATA);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    ASSERT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 9);
    const char16_t* columns[] = {u"Severity", u"Path", u"Stream",   u"Size",      u"Zone",
                                 u"Host URL", u"Note", u"Modified", u"Attributes"};
    for (int i = 0; i < 9; ++i) {
        wchar_t text[64] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = 64;
        ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(fromWide(text), columns[i]);
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, i == 3 ? LVCFMT_RIGHT : LVCFMT_LEFT) << i;
    }

    HWND status = GetDlgItem(window, kStatusBarId);
    ASSERT_EQ(status, state->statusBar);
    EXPECT_EQ(SendMessageW(status, SB_GETPARTS, 0, 0), 4);
    EXPECT_EQ(statusPartText(status, 0),
              u"Ready. Drop a folder onto the list, or use File > Scan Folder.");
    for (int part = 1; part < 4; ++part)
        EXPECT_EQ(statusPartText(status, part), u"") << part;
    EXPECT_EQ(state->emptyListText,
              u"Drop a folder or a file here to look for alternate data streams");
    EXPECT_EQ(GetFocus(), list);
}

TEST_F(MainWindowTest, CommandsAreGrayedByStateOnMenuAndButtonsAlike) {
    struct Expect {
        int id;
        bool enabled;
    };
    const auto check = [&](const char* label, std::initializer_list<Expect> expects) {
        for (const auto& e : expects) {
            EXPECT_EQ(!menuGrayed(e.id), e.enabled) << label << " menu " << e.id;
            if (GetDlgItem(state->window, e.id) != nullptr) {
                EXPECT_EQ(buttonEnabled(e.id), e.enabled) << label << " button " << e.id;
            }
        }
    };
    check("fresh", {{1001, true},
                    {1002, true},
                    {1003, false},
                    {1004, false},
                    {1005, false},
                    {1006, true},
                    {1101, false},
                    {1102, false},
                    {1103, false},
                    {1104, false},
                    {1105, false},
                    {1106, false},
                    {1201, true},
                    {1202, true},
                    {1203, true},
                    {1301, true}});

    state->lastRoots = {u"C:\\data"};
    addRecords(
        {makeRecord(u"C:\\data", u"a.txt", u"s1"), makeRecord(u"C:\\data", u"b.txt", u"s2")});
    updateCommandStates(*state);
    check("rows, none selected",
          {{1003, true}, {1005, true}, {1101, false}, {1102, false}, {1106, true}});

    selectOnly({1});  // a selection change the user made refreshes the states
    pumpFor(20ms);
    check("one selected", {{1101, true}, {1102, true}, {1103, true}, {1104, true}, {1105, true}});

    state->scanning = true;
    updateCommandStates(*state);
    check("scanning", {{1001, false},
                       {1002, false},
                       {1003, false},
                       {1004, true},
                       {1005, false},
                       {1101, false},
                       {1102, true},
                       {1103, true},
                       {1104, true},
                       {1105, true},
                       {1106, true},
                       {1201, false},
                       {1202, false},
                       {1203, false},
                       {1006, true},
                       {1301, true}});
    state->scanning = false;
}

TEST_F(MainWindowTest, ViewOptionsToggleTheirCheckMarkOnlyWhileIdle) {
    EXPECT_TRUE(menuChecked(kCmdIncludeSubfolders));
    EXPECT_TRUE(menuChecked(kCmdIncludeFolders));
    EXPECT_FALSE(menuChecked(kCmdShowItemsWithoutStreams));

    command(kCmdIncludeFolders);
    EXPECT_FALSE(state->scanOptions.includeFolders);
    EXPECT_FALSE(menuChecked(kCmdIncludeFolders));
    EXPECT_EQ(statusPartText(state->statusBar, 0),
              u"That applies to the next scan - press F5 to run it again.");
    command(kCmdShowItemsWithoutStreams);
    command(kCmdIncludeSubfolders);
    EXPECT_TRUE(state->scanOptions.showItemsWithoutStreams);
    EXPECT_TRUE(menuChecked(kCmdShowItemsWithoutStreams));
    EXPECT_FALSE(state->scanOptions.includeSubfolders);
    EXPECT_FALSE(menuChecked(kCmdIncludeSubfolders));

    state->scanning = true;
    setStatusText(*state, u"Scanning: C:\\x");
    command(kCmdIncludeFolders);
    EXPECT_FALSE(state->scanOptions.includeFolders);
    EXPECT_FALSE(menuChecked(kCmdIncludeFolders));
    EXPECT_EQ(statusPartText(state->statusBar, 0), u"Scanning: C:\\x");
    state->scanning = false;
}

TEST_F(MainWindowTest, RescanAndCancelSayWhatHappened) {
    command(kCmdRescan);
    EXPECT_EQ(statusPartText(state->statusBar, 0),
              u"Nothing has been scanned yet - choose a folder or drop one here.");

    setStatusText(*state, u"Scan complete.");
    command(kCmdCancelScan);  // idle: nothing to cancel
    EXPECT_FALSE(state->cancelRequested.load());
    EXPECT_EQ(statusPartText(state->statusBar, 0), u"Scan complete.");

    state->scanning = true;
    updateCommandStates(*state);
    command(kCmdCancelScan);
    EXPECT_TRUE(state->cancelRequested.load());
    EXPECT_EQ(statusPartText(state->statusBar, 0), u"Cancelling...");
    EXPECT_FALSE(menuGrayed(kCmdCancelScan));  // nothing is grayed until the scan ends
    command(kCmdRescan);                       // ignored while scanning
    EXPECT_EQ(statusPartText(state->statusBar, 0), u"Cancelling...");
    state->scanning = false;
}

// Records every WM_COMMAND the window receives, to see what the accelerators send.
LRESULT CALLBACK commandSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR data) {
    if (message == WM_COMMAND)
        reinterpret_cast<std::vector<int>*>(data)->push_back(LOWORD(wParam));
    return DefSubclassProc(window, message, wParam, lParam);
}

TEST_F(MainWindowTest, AcceleratorsSendTheirCommandsWhenTheCommandIsEnabled) {
    HACCEL accelerators = createMainAccelerators();
    ASSERT_NE(accelerators, nullptr);
    ACCEL entries[8] = {};
    ASSERT_EQ(CopyAcceleratorTableW(accelerators, entries, 8), 4);
    const ACCEL expected[] = {{FVIRTKEY, VK_F5, kCmdRescan},
                              {FVIRTKEY | FCONTROL, 'A', kCmdSelectAll},
                              {FVIRTKEY, VK_DELETE, kCmdDeleteStreams},
                              {FVIRTKEY, VK_ESCAPE, kCmdCancelScan}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(entries[i].fVirt & ~0x80, expected[i].fVirt) << i;  // 0x80 marks the last entry
        EXPECT_EQ(entries[i].key, expected[i].key) << i;
        EXPECT_EQ(entries[i].cmd, expected[i].cmd) << i;
    }
    std::vector<int> commands;
    SetWindowSubclass(state->window, commandSpy, 7, reinterpret_cast<DWORD_PTR>(&commands));
    HWND list = state->listView;
    BYTE keys[256] = {};
    const auto press = [&](WORD key, bool control) {
        GetKeyboardState(keys);
        keys[VK_CONTROL] = control ? 0x80 : 0;
        SetKeyboardState(keys);
        PostMessageW(list, WM_KEYDOWN, key, 1);
        PostMessageW(list, WM_KEYUP, key, 0xC0000001);
        pumpUntil([] { return false; }, 60ms, state->window, accelerators);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
    };

    // As everywhere in Windows, the key of a grayed command does nothing: Rescan
    // before any scan, Cancel while idle, Delete without a selection.
    press(VK_F5, false);
    press(VK_ESCAPE, false);
    press(VK_DELETE, false);  // nothing selected
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(statusPartText(state->statusBar, 0),
              u"Ready. Drop a folder onto the list, or use File > Scan Folder.");

    state->lastRoots = {u"C:\\data"};
    addRecords({makeRecord(u"C:\\data", u"a", u"s1"), makeRecord(u"C:\\data", u"b", u"s2"),
                makeRecord(u"C:\\data", u"c", u"s3")});
    updateCommandStates(*state);
    press('A', true);
    EXPECT_EQ(commands, (std::vector<int>{kCmdSelectAll}));
    EXPECT_EQ(selectedRowsOf(list), (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(menuGrayed(kCmdDeleteStreams));

    press(VK_DELETE, false);
    EXPECT_EQ(commands.back(), kCmdDeleteStreams);

    state->scanning = true;
    updateCommandStates(*state);
    press(VK_ESCAPE, false);
    EXPECT_EQ(commands.back(), kCmdCancelScan);
    EXPECT_EQ(statusPartText(state->statusBar, 0), u"Cancelling...");
    const std::size_t before = commands.size();
    press(VK_F5, false);  // Rescan is grayed during a scan
    press(VK_DELETE, false);
    EXPECT_EQ(commands.size(), before);
    state->scanning = false;

    RemoveWindowSubclass(state->window, commandSpy, 7);
    DestroyAcceleratorTable(accelerators);
}

TEST_F(MainWindowTest, SmallestTrackingSizeScalesWithTheWindowsDpi) {
    for (const auto& [dpi, width, height] :
         {std::tuple{96u, 900, 420}, std::tuple{144u, 1350, 630}, std::tuple{120u, 1125, 525}}) {
        state->dpi = dpi;
        MINMAXINFO info{};
        SendMessageW(state->window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(info.ptMinTrackSize.x, width) << dpi;
        EXPECT_EQ(info.ptMinTrackSize.y, height) << dpi;
    }
}

TEST_F(MainWindowTest, LayoutPlacesButtonsListAndStatusPartsForTheClientSize) {
    ASSERT_EQ(state->dpi, 96u) << "the test process runs at the default 96 dpi";
    SetWindowPos(state->window, nullptr, 0, 0, 1500, 700, SWP_NOZORDER | SWP_NOMOVE);
    RECT client;
    GetClientRect(state->window, &client);
    int edges[4] = {};
    SendMessageW(state->statusBar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    EXPECT_EQ(edges[0], client.right - 680);
    EXPECT_EQ(edges[1], client.right - 470);
    EXPECT_EQ(edges[2], client.right - 330);

    RECT list;
    GetWindowRect(state->listView, &list);
    MapWindowPoints(nullptr, state->window, reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(list.left, 8);
    EXPECT_EQ(list.top, 40);
    EXPECT_EQ(list.right, client.right - 8);
    RECT status;
    GetWindowRect(state->statusBar, &status);
    EXPECT_EQ(list.bottom, client.bottom - 8 - (status.bottom - status.top));

    // Widening the window gives the extra width to the Path column alone.
    const int pathBefore =
        static_cast<int>(SendMessageW(state->listView, LVM_GETCOLUMNWIDTH, 1, 0));
    const int notesBefore =
        static_cast<int>(SendMessageW(state->listView, LVM_GETCOLUMNWIDTH, 6, 0));
    SetWindowPos(state->window, nullptr, 0, 0, 1700, 700, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(SendMessageW(state->listView, LVM_GETCOLUMNWIDTH, 1, 0), pathBefore + 200);
    EXPECT_EQ(SendMessageW(state->listView, LVM_GETCOLUMNWIDTH, 6, 0), notesBefore);

    // Narrowing it takes from Attributes first.
    SetWindowPos(state->window, nullptr, 0, 0, 1300, 700, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_LT(SendMessageW(state->listView, LVM_GETCOLUMNWIDTH, 8, 0), 120);
    EXPECT_EQ(SendMessageW(state->listView, LVM_GETCOLUMNWIDTH, 6, 0), 200);
    EXPECT_EQ(SendMessageW(state->listView, LVM_GETCOLUMNWIDTH, 1, 0), 200);

    // Once the user has dragged a divider (the header tells the list when the
    // drag ends), the widths stay as they are.
    HWND header = reinterpret_cast<HWND>(SendMessageW(state->listView, LVM_GETHEADER, 0, 0));
    NMHEADERW dragged{};
    dragged.hdr.hwndFrom = header;
    dragged.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(header));
    dragged.hdr.code = HDN_ENDTRACKW;
    dragged.iItem = 6;
    SendMessageW(state->listView, WM_NOTIFY, dragged.hdr.idFrom,
                 reinterpret_cast<LPARAM>(&dragged));
    SetWindowPos(state->window, nullptr, 0, 0, 1600, 700, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(SendMessageW(state->listView, LVM_GETCOLUMNWIDTH, 1, 0), 200);
}

int fontHeight(HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return std::abs(font.lfHeight);
}

TEST_F(MainWindowTest, MovingToAScreenOfAnotherDpiScalesFontButtonsColumnsAndTakesTheRect) {
    ASSERT_EQ(state->dpi, 96u);
    const int heightAt96 = fontHeight(state->listView);
    RECT suggested{20, 30, 20 + 1680, 30 + 1020};
    SendMessageW(state->window, WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(state->dpi, 144u);
    RECT now;
    GetWindowRect(state->window, &now);
    EXPECT_EQ(now.left, suggested.left);
    EXPECT_EQ(now.top, suggested.top);
    EXPECT_EQ(now.right, suggested.right);
    EXPECT_EQ(now.bottom, suggested.bottom);

    RECT button;
    GetWindowRect(GetDlgItem(state->window, kCmdScanFolder), &button);
    EXPECT_EQ(button.bottom - button.top, 39);
    EXPECT_EQ(button.right - button.left, 177);
    EXPECT_EQ(SendMessageW(state->listView, LVM_GETCOLUMNWIDTH, 3, 0), 120);  // Size: 80 at 96
    EXPECT_NEAR(fontHeight(state->listView), heightAt96 * 3 / 2, 1);
    EXPECT_EQ(fontHeight(state->statusBar), fontHeight(state->listView));
    MINMAXINFO least{};
    SendMessageW(state->window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&least));
    EXPECT_EQ(least.ptMinTrackSize.x, 1350);
}

TEST_F(MainWindowTest, AboutOpensTheHomePageOrSaysWhyNot) {
    command(kCmdAbout);
    ASSERT_EQ(seam.shellCalls.size(), 1u);
    EXPECT_EQ(seam.shellCalls[0].verb, u"open");
    EXPECT_EQ(seam.shellCalls[0].file, kHomePageUrl);
    EXPECT_EQ(seam.shellCalls[0].parameters, u"");
    EXPECT_EQ(seam.shellCalls[0].showCommand, SW_SHOWNORMAL);
    EXPECT_TRUE(seam.boxes.empty());

    seam.shellResult = 2;  // SE_ERR_FNF
    command(kCmdAbout);
    ASSERT_EQ(seam.boxes.size(), 1u);
    EXPECT_EQ(seam.boxes[0].owner, state->window);
    EXPECT_EQ(seam.boxes[0].text,
              u"The page could not be opened in a browser.\n\nhttps://example.org/tessalin");
    EXPECT_EQ(seam.boxes[0].style, static_cast<std::uint32_t>(MB_OK | MB_ICONWARNING));
}

TEST_F(MainWindowTest, ExitClosesAnIdleWindow) {
    HWND window = state->window;
    command(kCmdExit);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(state->window, nullptr);
}

struct FakeWorker {
    MainWindowState* state;
    std::atomic<bool> sawCancel{false};
    std::atomic<bool> finished{false};
    std::u16string statusWhileWaiting;
};

// Stands in for the worker: it sees the cancel, asks to close once more, then ends.
DWORD WINAPI fakeWorker(void* p) {
    auto* worker = static_cast<FakeWorker*>(p);
    for (int i = 0; i < 500 && !worker->state->cancelRequested.load(); ++i)
        Sleep(10);
    worker->sawCancel = worker->state->cancelRequested.load();
    // The window keeps answering while it waits, and says why it waits.
    worker->statusWhileWaiting = statusPartText(worker->state->statusBar, 0);
    PostMessageW(worker->state->window, WM_CLOSE, 0, 0);
    Sleep(200);
    worker->finished = true;
    return 0;
}

TEST_F(MainWindowTest, ClosingDuringAScanCancelsWaitsAndIgnoresASecondClose) {
    HWND window = state->window;
    state->scanning = true;
    FakeWorker worker;
    worker.state = state.get();
    state->scanThread.reset(CreateThread(nullptr, 0, fakeWorker, &worker, 0, nullptr));
    ASSERT_TRUE(state->scanThread);

    SendMessageW(window, WM_CLOSE, 0, 0);  // returns once the worker has stopped
    EXPECT_TRUE(worker.sawCancel.load());
    EXPECT_TRUE(worker.finished.load());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(worker.statusWhileWaiting, u"Cancelling the scan before closing...");
    EXPECT_TRUE(seam.boxes.empty());
    if (state->scanThread) {
        WaitForSingleObject(state->scanThread.get(), 5000);
        state->scanThread.reset();
    }
}

}  // namespace
}  // namespace tessalin::gui
