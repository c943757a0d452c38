// Copy Path, Copy Row, Open Containing Folder, Properties and the list's
// context menu (commands 1102-1105). The texts, the shell's arguments and the
// menu's items come from row_commands; here they meet the clipboard, the shell
// and TrackPopupMenu.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <new>

#include "window/row_commands.h"
#include "window/win32/main_window.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

// The host item of the topmost selected row, plain; none when there is nothing to act on.
std::optional<std::u16string> topmostHostPath(const MainWindowState& state) {
    return firstSelectedHostPath(state.rows.records, selectedRecordIndices(state),
                                 state.fileSystem->pathStyle());
}

ScreenPoint menuPosition(const MainWindowState& state, int x, int y) {
    RECT list{};
    if ((x == -1 && y == -1) && state.listView != nullptr)
        GetWindowRect(state.listView, &list);
    return contextMenuPosition(x, y, Rect{list.left, list.top, list.right, list.bottom},
                               static_cast<int>(state.dpi));
}

}  // namespace

void copySelection(MainWindowState& state, bool wholeRow) {
    try {
        const std::vector<std::uint64_t> selected = selectedRecordIndices(state);
        if (selected.empty())
            return;
        const ClipboardText copy =
            clipboardText(state.rows.records, selected, wholeRow, state.fileSystem->pathStyle());
        if (copy.text.empty())
            return;
        // Counts the lines copied, so the status line never claims a row it left out.
        setStatusText(state, state.ui->setClipboardText(state.window, copy.text)
                                 ? copiedStatusText(copy.rowCount)
                                 : std::u16string(kClipboardFailedText));
    } catch (const std::bad_alloc&) {
        // The text could not be built, so nothing reached the clipboard.
        setStatusText(state, kClipboardFailedText);
    }
    refreshStatusBar(state);
}

void openContainingFolder(MainWindowState& state) {
    const std::optional<std::u16string> host = topmostHostPath(state);
    if (!host)
        return;
    const std::intptr_t result = state.ui->shellExecute(
        state.window, kOpenVerb, kExplorerFile, explorerSelectArgument(*host), SW_SHOWNORMAL);
    if (result <= 32)
        showMessageBox(state, explorerFailedMessage(*host));
}

void showProperties(MainWindowState& state) {
    const std::optional<std::u16string> host = topmostHostPath(state);
    if (!host)
        return;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_NOASYNC;
    info.hwnd = state.window;
    info.lpVerb = wideText(kPropertiesVerb);
    info.lpFile = wideText(*host);
    info.nShow = SW_SHOW;
    if (!state.ui->shellExecuteEx(&info))
        showMessageBox(state, propertySheetFailedMessage(*host));
}

HMENU createRowContextMenu(const MainWindowState& state) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return nullptr;
    for (const ContextMenuItem& item : contextMenuItems(anyRowSelected(state), workerBusy(state))) {
        if (item.separator) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        // The item texts are literals, so their views end in NUL.
        AppendMenuW(menu, MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED),
                    static_cast<UINT_PTR>(item.commandId), wideText(item.text));
    }
    return menu;
}

void showRowContextMenu(MainWindowState& state, int x, int y) {
    const ScreenPoint at = menuPosition(state, x, y);
    HMENU menu = createRowContextMenu(state);
    if (menu == nullptr)
        return;
    const int chosen = static_cast<int>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, at.x,
        at.y, 0, state.window, nullptr));
    DestroyMenu(menu);
    // The same road as the menu bar, so the command runs exactly as from there.
    if (chosen > 0)
        SendMessageW(state.window, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
}

}  // namespace tessalin
