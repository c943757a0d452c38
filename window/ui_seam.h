// Everything the window asks of the user or hands to the shell goes through one
// seam: message boxes, the folder, open and save dialogs, the clipboard and
// ShellExecuteW/ShellExecuteExW. The real seam makes the system calls; tests put
// in one that answers questions and records every box instead of blocking.
//
// Plain header: window handles and the dialogs' Win32 structures pass through
// as untyped pointers, so the seam stays free of <windows.h>. Called on the
// window's thread only.
#pragma once

#include <cstdint>
#include <string_view>

namespace tessalin {

using NativeWindow = void*;  // an HWND

class UiSeam {
  public:
    virtual ~UiSeam() = default;

    // MessageBoxW: the button chosen (IDOK 1, IDYES 6, IDNO 7); 0 when the box
    // could not be shown.
    virtual int messageBox(NativeWindow owner, std::u16string_view text,
                           std::u16string_view caption, std::uint32_t style) = 0;

    // ShellExecuteW: its result as a number; above 32 is success. Empty views
    // are passed as null pointers.
    virtual std::intptr_t shellExecute(NativeWindow owner, std::u16string_view verb,
                                       std::u16string_view file, std::u16string_view parameters,
                                       int showCommand) = 0;
    // ShellExecuteExW on a filled SHELLEXECUTEINFOW.
    virtual bool shellExecuteEx(void* shellExecuteInfo) = 0;

    // SHBrowseForFolderW on a filled BROWSEINFOW: the item list (the caller frees
    // it with CoTaskMemFree), or null when the user cancelled.
    virtual void* browseForFolder(void* browseInfo) = 0;
    // GetOpenFileNameW and GetSaveFileNameW on a filled OPENFILENAMEW, and
    // CommDlgExtendedError of the last of them.
    virtual bool getOpenFileName(void* openFileName) = 0;
    virtual bool getSaveFileName(void* openFileName) = 0;
    virtual std::uint32_t commonDialogError() = 0;

    // Runs a modal window of the program's own (a dialog made by the window,
    // its owner already disabled) until it is destroyed. Tests drive and close
    // it instead; whatever they leave open is destroyed by the caller.
    virtual void runDialog(NativeWindow dialog) = 0;

    // Puts the text on the clipboard as CF_UNICODETEXT, owned by `owner`. False
    // when any step failed; the clipboard is closed and unused memory freed
    // either way.
    virtual bool setClipboardText(NativeWindow owner, std::u16string_view text) = 0;
};

}  // namespace tessalin
