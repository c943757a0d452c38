// The window itself: what it opens with, the enabling of its commands, its
// accelerators, its layout at another DPI, About and Exit.
#include "frontend/scan_texts.h"
#include "frontend/status_texts.h"
#include "gui/window_fixture.h"
#include "window/command_ids.h"
#include "window/command_states.h"
#include "window/layout.h"
#include "window/product_info.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

TEST_F(WindowTest, OpensWithTitleMenusButtonsColumnsAndReadyStatus) {
    // The menus and their items ("" is a separator), then the title, buttons and columns.
    std::vector<std::vector<std::u16string>> shown(5),
        expected = {
            {u"&File", u"Scan &Folder...", u"Scan F&ile...", u"&Rescan\tF5", u"&Cancel Scan\tEsc",
             u"", u"&Export CSV...", u"", u"E&xit"},
            {u"&Stream", u"&Delete Selected Streams...\tDel", u"", u"&Copy Path", u"Copy &Row",
             u"&Open Containing Folder", u"&Properties", u"", u"Select &All\tCtrl+A", u"",
             u"Not &Examined..."},
            {u"&View", u"Include &subfolders", u"Include &folders", u"Show items &without streams"},
            {u"&Help", u"&About Tessalin"},
            {kProductName.data()}};
    HMENU bar = GetMenu(state->window);
    for (int m = 0; m < GetMenuItemCount(bar); ++m) {
        shown[m].push_back(menuItemText(bar, m));
        for (int i = 0; i < GetMenuItemCount(GetSubMenu(bar, m)); ++i)
            shown[m].push_back(menuItemText(GetSubMenu(bar, m), i));
    }
    wchar_t text[64] = {};
    GetWindowTextW(state->window, text, 64);
    shown[4].push_back(fromWide(text));
    for (const ButtonSpec& button : kButtons) {
        GetWindowTextW(GetDlgItem(state->window, button.command), text, 64);
        shown[4].push_back(fromWide(text));
        expected[4].push_back(button.text);
    }
    for (int i = 0; i < kListColumnCount; ++i) {
        LVCOLUMNW column{.mask = LVCF_TEXT, .pszText = text, .cchTextMax = 64};
        SendMessageW(state->listView, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        shown[4].push_back(fromWide(text));
        expected[4].push_back(kColumns[i].header);
    }
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(GetWindowLongW(state->window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(status(), kReadyText);
    EXPECT_EQ(state->emptyListText, emptyListText({}));
}

// Records every WM_COMMAND the window receives, to see what the accelerators send.
LRESULT CALLBACK commandSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR commands) {
    if (message == WM_COMMAND)
        reinterpret_cast<std::vector<int>*>(commands)->push_back(LOWORD(wParam));
    return DefSubclassProc(window, message, wParam, lParam);
}

TEST_F(WindowTest, CommandsAreEnabledAsTheirStatesSayAndOnlyThenReachedByKey) {
    const auto expectStates = [&](const CommandStateInput& input) {
        for (const CommandId id : kStatefulCommands) {
            EXPECT_EQ(!menuGrayed(id), isCommandEnabled(id, input)) << id;
            if (HWND button = GetDlgItem(state->window, id)) {
                EXPECT_EQ(IsWindowEnabled(button) != FALSE, isCommandEnabled(id, input)) << id;
            }
        }
    };
    HACCEL accelerators = createMainAccelerators();
    std::vector<int> commands;
    SetWindowSubclass(state->window, commandSpy, 7, reinterpret_cast<DWORD_PTR>(&commands));
    const auto press = [&](WORD key, BYTE control = 0) {
        BYTE keys[256] = {};
        keys[VK_CONTROL] = control;
        SetKeyboardState(keys);
        PostMessageW(state->listView, WM_KEYDOWN, key, 1);
        PostMessageW(state->listView, WM_KEYUP, key, 0xC0000001);
        pumpUntil([] { return false; }, 60ms, state->window, accelerators);
    };
    expectStates({});
    press(VK_F5);  // as everywhere in Windows, the key of a grayed command does nothing
    press(VK_DELETE);
    scan();  // broken.bin cannot be read: a place not examined
    expectStates({.haveLastRoots = true, .haveRows = true, .havePlaces = true});
    press('A', 0x80);
    expectStates(
        {.haveLastRoots = true, .haveRows = true, .anySelected = true, .havePlaces = true});
    EXPECT_EQ(selection().size(), results().rowOrder.size());
    press(VK_DELETE, 0);
    startHeldScan(u"C:\\dl");
    expectStates({.scanning = true, .haveLastRoots = true});
    press(VK_F5);
    press(VK_ESCAPE);
    EXPECT_EQ(commands, (std::vector<int>{kCmdSelectAll, kCmdDeleteStreams, kCmdCancelScan}));
    EXPECT_EQ(status(), kCancellingText);
    RemoveWindowSubclass(state->window, commandSpy, 7);
    DestroyAcceleratorTable(accelerators);
}

Rect rectIn(HWND window, HWND child) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

TEST_F(WindowTest, AtAnotherDpiTheWindowIsLaidOutAnewUntilTheUserDragsADivider) {
    RECT suggested{20, 30, 20 + 1680, 30 + 1020};
    SendMessageW(state->window, WM_DPICHANGED, MAKEWPARAM(144, 144), LPARAM(&suggested));
    EXPECT_EQ(rectIn(nullptr, state->window), (Rect{20, 30, 20 + 1680, 30 + 1020}));
    RECT client;
    GetClientRect(state->window, &client);
    for (int i = 0; i < kButtonCount; ++i)
        EXPECT_EQ(rectIn(state->window, state->buttons[i]), buttonRects(144)[i]) << i;
    int edges[kStatusPartCount] = {};
    SendMessageW(state->statusBar, SB_GETPARTS, kStatusPartCount, LPARAM(edges));
    EXPECT_EQ(edges[0], statusPartEdges(client.right, 144)[0]);
    const Rect list = listRect(client.right, client.bottom,
                               rectIn(state->window, state->statusBar).height(), 144);
    EXPECT_EQ(rectIn(state->window, state->listView), list);
    const ColumnWidths widths =
        fitColumnWidths(list.width(), 144, GetSystemMetrics(SM_CXVSCROLL), scaledColumnWidths(144));
    const auto expectWidths = [&] {
        for (int i = 0; i < kListColumnCount; ++i)
            EXPECT_EQ(SendMessageW(state->listView, LVM_GETCOLUMNWIDTH, i, 0), widths[i]) << i;
    };
    expectWidths();
    MINMAXINFO least{};
    SendMessageW(state->window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&least));
    EXPECT_EQ((Size{least.ptMinTrackSize.x, least.ptMinTrackSize.y}), minimumTrackingSize(144));
    // The header tells the list when a drag ends; from then on the widths stay.
    NMHDR dragged{.hwndFrom = HWND(SendMessageW(state->listView, LVM_GETHEADER, 0, 0)),
                  .code = HDN_ENDTRACKW};
    SendMessageW(state->listView, WM_NOTIFY, 0, LPARAM(&dragged));
    SetWindowPos(state->window, nullptr, 0, 0, 1900, 1100, SWP_NOZORDER | SWP_NOMOVE);
    expectWidths();
}

TEST_F(WindowTest, AboutOpensTheHomePageOrSaysWhyNotAndExitCloses) {
    command(kCmdAbout);
    ui.shellWorks = false;
    command(kCmdAbout);
    const Shown home{u"open|" + std::u16string(kHomePageUrl) + u"|", SW_SHOWNORMAL};
    EXPECT_EQ(ui.shellCalls, (Boxes{home, home}));
    const std::u16string why = u"The page could not be opened in a browser.\n\n";
    EXPECT_EQ(ui.boxes, (Boxes{{why + kHomePageUrl.data(), MB_OK | MB_ICONWARNING}}));
    command(kCmdExit);
    EXPECT_EQ(state->window, nullptr);
}

}  // namespace
}  // namespace tessalin::gui
