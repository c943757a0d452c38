// The menu bar, the enabling of every command, the View check marks, and the
// commands the window handles itself: Rescan, Cancel, Exit, Select All, Not
// Examined, the View options and About. The others hand over to the file of their concern.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "window/command_ids.h"
#include "window/command_states.h"
#include "window/product_info.h"
#include "frontend/scan_texts.h"
#include "window/status_texts.h"
#include "window/win32/main_window.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

struct MenuEntry {
    int command;  // 0: a separator
    const wchar_t* text;
};

HMENU makePopup(std::initializer_list<MenuEntry> entries) {
    HMENU popup = CreatePopupMenu();
    if (popup == nullptr)
        return nullptr;
    for (const auto& entry : entries) {
        if (entry.command == 0) {
            AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(popup, MF_STRING, static_cast<UINT_PTR>(entry.command), entry.text);
        }
    }
    return popup;
}

void setCommandEnabled(MainWindowState& state, CommandId command, bool enabled) {
    if (state.menu != nullptr) {
        EnableMenuItem(state.menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
    for (int i = 0; i < kButtonCount; ++i) {
        if (kButtons[i].command == command && state.buttons[i] != nullptr) {
            EnableWindow(state.buttons[i], enabled ? TRUE : FALSE);
        }
    }
}

void onRescan(MainWindowState& state) {
    if (workerBusy(state))
        return;
    if (!state.scan.roots.empty()) {
        const std::vector<std::u16string> roots = state.scan.roots;
        startScan(state, roots);
        return;
    }
    setStatusText(state, kNothingScannedYetText);
    refreshStatusBar(state);
}

// Stops the scan, or the removal after the stream it is removing.
void onCancelScan(MainWindowState& state) {
    WorkerThread* worker = busyWorker(state);
    if (worker == nullptr)
        return;
    worker->cancel();
    setStatusText(state, kCancellingText);
    refreshStatusBar(state);
}

void onExit(MainWindowState& state) {
    // The same road as the close box, so a running scan is stopped the same way.
    SendMessageW(state.window, WM_CLOSE, 0, 0);
}

void onSelectAll(MainWindowState& state) {
    if (state.listView != nullptr && !state.rows.rowOrder.empty()) {
        SetFocus(state.listView);
        const SelectionEventsSuppressed ownChange(state);
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        SendMessageW(state.listView, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(&item));
    }
    updateCommandStates(state);
}

void onToggleViewOption(MainWindowState& state, CommandId command) {
    if (state.scan.running)
        return;
    streamscan::ScanOptions& options = state.scanOptions;
    switch (command) {
        case kCmdIncludeSubfolders:
            options.includeSubfolders = !options.includeSubfolders;
            break;
        case kCmdIncludeFolders:
            options.includeFolders = !options.includeFolders;
            break;
        case kCmdShowItemsWithoutStreams:
            options.showItemsWithoutStreams = !options.showItemsWithoutStreams;
            break;
        default:
            return;
    }
    updateViewChecks(state);
    setStatusText(state, kNextScanText);
    refreshStatusBar(state);
}

void onAbout(MainWindowState& state) {
    const std::intptr_t result =
        state.ui->shellExecute(state.window, u"open", kHomePageUrl, {}, SW_SHOWNORMAL);
    if (result > 32)
        return;
    std::u16string text = u"The page could not be opened in a browser.\n\n";
    text += kHomePageUrl;
    showMessageBox(state, text, MB_OK | MB_ICONWARNING);
}

}  // namespace

HMENU createMainMenu() {
    HMENU bar = CreateMenu();
    if (bar == nullptr)
        return nullptr;
    const struct {
        const wchar_t* title;
        HMENU popup;
    } popups[] = {
        {L"&File", makePopup({{kCmdScanFolder, L"Scan &Folder..."},
                              {kCmdScanFile, L"Scan F&ile..."},
                              {kCmdRescan, L"&Rescan\tF5"},
                              {kCmdCancelScan, L"&Cancel Scan\tEsc"},
                              {0, nullptr},
                              {kCmdExportCsv, L"&Export CSV..."},
                              {0, nullptr},
                              {kCmdExit, L"E&xit"}})},
        {L"&Stream", makePopup({{kCmdDeleteStreams, L"&Delete Selected Streams...\tDel"},
                                {kCmdSaveStreams, L"Save Streams &To..."},
                                {0, nullptr},
                                {kCmdCopyPath, L"&Copy Path"},
                                {kCmdCopyRow, L"Copy &Row"},
                                {kCmdOpenContainingFolder, L"&Open Containing Folder"},
                                {kCmdProperties, L"&Properties"},
                                {0, nullptr},
                                {kCmdSelectAll, L"Select &All\tCtrl+A"},
                                {0, nullptr},
                                {kCmdNotExamined, L"Not &Examined..."}})},
        {L"&View", makePopup({{kCmdIncludeSubfolders, L"Include &subfolders"},
                              {kCmdIncludeFolders, L"Include &folders"},
                              {kCmdShowItemsWithoutStreams, L"Show items &without streams"}})},
        {L"&Help", makePopup({{kCmdAbout, L"&About Tessalin"}})},
    };
    for (const auto& entry : popups) {
        if (entry.popup != nullptr) {
            AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(entry.popup), entry.title);
        }
    }
    return bar;
}

bool anyRowSelected(const MainWindowState& state) {
    return state.listView != nullptr &&
           SendMessageW(state.listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                        MAKELPARAM(LVNI_SELECTED, 0)) != -1;
}

void updateCommandStates(MainWindowState& state) {
    CommandStateInput input;
    // A removal on its worker holds the same commands back as a scan.
    input.scanning = workerBusy(state);
    input.haveLastRoots = !state.scan.roots.empty();
    input.haveRows = !state.rows.rowOrder.empty();
    input.anySelected = anyRowSelected(state);
    input.havePlaces = !state.scan.places.empty();
    for (const CommandId command : kStatefulCommands) {
        setCommandEnabled(state, command, isCommandEnabled(command, input));
    }
}

void updateViewChecks(MainWindowState& state) {
    if (state.menu == nullptr)
        return;
    const auto check = [&](CommandId command, bool on) {
        CheckMenuItem(state.menu, command, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    };
    check(kCmdIncludeSubfolders, state.scanOptions.includeSubfolders);
    check(kCmdIncludeFolders, state.scanOptions.includeFolders);
    check(kCmdShowItemsWithoutStreams, state.scanOptions.showItemsWithoutStreams);
}

bool onCommand(MainWindowState& state, int command) {
    switch (command) {
        case kCmdScanFolder:
            chooseFolderAndScan(state);
            return true;
        case kCmdScanFile:
            chooseFilesAndScan(state);
            return true;
        case kCmdRescan:
            onRescan(state);
            return true;
        case kCmdCancelScan:
            onCancelScan(state);
            return true;
        case kCmdExportCsv:
            exportList(state);
            return true;
        case kCmdExit:
            onExit(state);
            return true;
        case kCmdDeleteStreams:
            DeleteSelectedStreams(state);
            return true;
        case kCmdSaveStreams:
            saveSelectedStreams(state);
            return true;
        case kCmdCopyPath:
            copySelection(state, false);
            return true;
        case kCmdCopyRow:
            copySelection(state, true);
            return true;
        case kCmdOpenContainingFolder:
            openContainingFolder(state);
            return true;
        case kCmdProperties:
            showProperties(state);
            return true;
        case kCmdSelectAll:
            onSelectAll(state);
            return true;
        case kCmdNotExamined:
            showNotExaminedPlaces(state);
            return true;
        case kCmdIncludeSubfolders:
        case kCmdIncludeFolders:
        case kCmdShowItemsWithoutStreams:
            onToggleViewOption(state, static_cast<CommandId>(command));
            return true;
        case kCmdAbout:
            onAbout(state);
            return true;
        default:
            return false;
    }
}

}  // namespace tessalin
