// The roads to a scan: the folder dialog, the file dialog, dropped items and
// the command line. Each ends in startScan with the locations in the user's
// order; none checks whether a path exists, the scan finds that out.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "window/scan_choice_texts.h"
#include "window/win32/main_window.h"
#include "window/win32/text_cast.h"

namespace tessalin {

void chooseFolderAndScan(MainWindowState& state) {
    if (state.scan.running)
        return;
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = state.window;
    info.pidlRoot = nullptr;  // the whole namespace
    info.pszDisplayName = displayName;
    info.lpszTitle = wideText(kFolderDialogTitle);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    auto* item = static_cast<PIDLIST_ABSOLUTE>(state.ui->browseForFolder(&info));
    if (item == nullptr)
        return;  // cancelled

    std::vector<wchar_t> path(kFolderPathChars, L'\0');
    const BOOL hasPath =
        SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    CoTaskMemFree(item);
    if (hasPath && path.front() != L'\0') {
        startScan(state, {fromWide(path.data())});
        return;
    }
    showMessageBox(state, kNoPathOnDiskText, MB_ICONINFORMATION | MB_OK);
}

void chooseFilesAndScan(MainWindowState& state) {
    if (state.scan.running)
        return;
    static constexpr wchar_t kFilter[] = L"All files\0*.*\0";
    std::vector<wchar_t> buffer(kFileDialogBufferChars, L'\0');
    for (bool firstAttempt = true;; firstAttempt = false) {
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = state.window;
        dialog.lpstrFilter = kFilter;
        dialog.lpstrFile = buffer.data();
        dialog.nMaxFile = static_cast<DWORD>(buffer.size());
        dialog.lpstrTitle = wideText(kFileDialogTitle);
        dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                       OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        if (state.ui->getOpenFileName(&dialog)) {
            const std::u16string_view answer(reinterpret_cast<const char16_t*>(buffer.data()),
                                             buffer.size());
            startScan(state, openDialogSelection(answer));
            return;
        }
        const std::uint32_t error = state.ui->commonDialogError();
        if (error == 0)
            return;  // cancelled
        if (error == kFileNameBufferTooSmall && firstAttempt) {
            // The dialog put the size it needs into the buffer's first unit.
            const auto needed = static_cast<std::uint16_t>(buffer.front());
            buffer.assign(retryBufferSize(needed, buffer.size()), L'\0');
            continue;
        }
        setStatusText(state, fileDialogErrorText(error));
        refreshStatusBar(state);
        return;
    }
}

void scanDroppedItems(MainWindowState& state, HDROP drop) {
    // Finished on every road out, also when a copy below runs out of memory.
    OwnedDrop owned(drop);
    if (!owned)
        return;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::u16string> locations;
    std::uint64_t unresolved = 0;
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) {
            ++unresolved;
            continue;
        }
        std::vector<wchar_t> path(static_cast<std::size_t>(length) + 1, L'\0');
        const UINT copied = DragQueryFileW(drop, i, path.data(), length + 1);
        if (copied == 0) {
            ++unresolved;
            continue;
        }
        locations.emplace_back(reinterpret_cast<const char16_t*>(path.data()), copied);
    }
    owned.reset();  // every name is copied
    if (unresolved != 0) {
        showMessageBox(state, unresolvedDropText(unresolved, locations.size()),
                       MB_ICONWARNING | MB_OK);
    }
    startScan(state, locations);
}

std::vector<std::u16string> commandLineLocations(const wchar_t* commandLine) {
    std::vector<std::u16string> locations;
    int count = 0;
    const Owned<LPWSTR*, &LocalFree> arguments(CommandLineToArgvW(commandLine, &count));
    if (!arguments)
        return locations;
    // The first argument is the program itself.
    for (int i = 1; i < count; ++i)
        locations.push_back(fromWide(arguments.get()[i]));
    return locations;
}

void scanCommandLine(MainWindowState& state, const wchar_t* commandLine) {
    startScan(state, commandLineLocations(commandLine));
}

}  // namespace tessalin
