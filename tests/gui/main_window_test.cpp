// The window itself: what it opens with, the enabling of its commands, its
// accelerators and cancelling by key, and Exit.
#include "frontend/scan_texts.h"
#include "window/status_texts.h"
#include "gui/window_fixture.h"
#include "window/command_ids.h"
#include "window/command_states.h"
#include "window/product_info.h"

namespace tessalin::gui {
namespace {

TEST_F(WindowTest, OpensWithTitleMenusAndReadyStatusAndExitCloses) {
    // The menus and their items ("" is a separator), then the title.
    const auto menuItemText = [](HMENU menu, int position) {
        wchar_t buffer[256] = {};
        GetMenuStringW(menu, UINT(position), buffer, 256, MF_BYPOSITION);
        return fromWide(buffer);
    };
    std::vector<std::vector<std::u16string>> shown(5),
        expected = {
            {u"&File", u"Scan &Folder...", u"Scan F&ile...", u"&Rescan\tF5", u"&Cancel Scan\tEsc",
             u"", u"&Export CSV...", u"", u"E&xit"},
            {u"&Stream", u"&Delete Selected Streams...\tDel", u"Save Streams &To...", u"",
             u"&Copy Path", u"Copy &Row", u"&Open Containing Folder", u"&Properties", u"",
             u"Select &All\tCtrl+A", u"", u"Not &Examined..."},
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
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(GetWindowLongW(state->window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_EQ(status(), kReadyText);
    command(kCmdExit);
    EXPECT_EQ(state->window, nullptr);
}

TEST_F(WindowTest, CommandsAreEnabledAsTheirStatesSayAndOnlyThenReachedByKeyEscapeCancels) {
    const auto expectStates = [&](const CommandStateInput& input) {
        for (const CommandId id : kStatefulCommands) {
            const UINT menuState = GetMenuState(GetMenu(state->window), id, MF_BYCOMMAND);
            EXPECT_EQ(!(menuState & MF_GRAYED), isCommandEnabled(id, input)) << id;
            if (HWND button = GetDlgItem(state->window, id)) {
                EXPECT_EQ(IsWindowEnabled(button) != FALSE, isCommandEnabled(id, input)) << id;
            }
        }
    };
    HACCEL accelerators = createMainAccelerators();
    const auto press = [&](WORD key, BYTE control = 0) {
        BYTE keys[256] = {};
        keys[VK_CONTROL] = control;
        SetKeyboardState(keys);
        PostMessageW(state->listView, WM_KEYDOWN, key, 1);
        PostMessageW(state->listView, WM_KEYUP, key, 0xC0000001);
        pumpUntil([] { return false; }, 60ms, state->window, accelerators);
    };
    expectStates({});
    press(VK_DELETE);          // grayed: its key does nothing, as everywhere in Windows
    scan({u"C:\\dl"}, false);  // broken.bin cannot be read: a place not examined
    expectStates({.haveLastRoots = true, .haveRows = true, .havePlaces = true});
    press('A', 0x80);
    expectStates(
        {.haveLastRoots = true, .haveRows = true, .anySelected = true, .havePlaces = true});
    EXPECT_EQ(selectedRows(*state).size(), results().rowOrder.size());
    press(VK_DELETE, 0);
    startHeldScan(u"C:\\dl");
    expectStates({.scanning = true, .haveLastRoots = true});
    press(VK_ESCAPE);
    EXPECT_EQ(ui.boxes.size(), 1u);  // the question Delete asks once every row is selected
    DestroyAcceleratorTable(accelerators);
    pumpUntil([] { return false; }, 350ms);
    EXPECT_EQ(status(), kCancellingText);  // the worker's progress does not overwrite it
    SetEvent(fs.open.get());
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(status(), kScanCancelledText);
    scan();  // the cancel does not carry over
    EXPECT_EQ(status(), kScanCompleteText);
}

}  // namespace
}  // namespace tessalin::gui
