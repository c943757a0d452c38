// The seam's real side: the system's message boxes, dialogs, clipboard and shell.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "window/win32/main_window_state.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

// Empty views become null pointers; others are copied so that they end in NUL.
class OptionalText {
  public:
    explicit OptionalText(std::u16string_view text) : text_(text), present_(!text.empty()) {}
    const wchar_t* get() const { return present_ ? wideText(text_) : nullptr; }

  private:
    std::u16string text_;
    bool present_;
};

class SystemUiSeam final : public UiSeam {
  public:
    int messageBox(NativeWindow owner, std::u16string_view text, std::u16string_view caption,
                   std::uint32_t style) override {
        const std::u16string body(text);
        const std::u16string title(caption);
        return MessageBoxW(static_cast<HWND>(owner), wideText(body), wideText(title), style);
    }

    std::intptr_t shellExecute(NativeWindow owner, std::u16string_view verb,
                               std::u16string_view file, std::u16string_view parameters,
                               int showCommand) override {
        const OptionalText v(verb), f(file), p(parameters);
        HINSTANCE result = ShellExecuteW(static_cast<HWND>(owner), v.get(), f.get(), p.get(),
                                         nullptr, showCommand);
        return reinterpret_cast<std::intptr_t>(result);
    }

    bool shellExecuteEx(void* info) override {
        return ShellExecuteExW(static_cast<SHELLEXECUTEINFOW*>(info)) != FALSE;
    }

    void* browseForFolder(void* browseInfo) override {
        return SHBrowseForFolderW(static_cast<BROWSEINFOW*>(browseInfo));
    }

    bool getOpenFileName(void* openFileName) override {
        return GetOpenFileNameW(static_cast<OPENFILENAMEW*>(openFileName)) != FALSE;
    }

    bool getSaveFileName(void* openFileName) override {
        return GetSaveFileNameW(static_cast<OPENFILENAMEW*>(openFileName)) != FALSE;
    }

    std::uint32_t commonDialogError() override { return CommDlgExtendedError(); }

    void runDialog(NativeWindow dialog) override {
        HWND window = static_cast<HWND>(dialog);
        MSG message;
        while (IsWindow(window)) {
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0) {
                // The loop that owns WM_QUIT must still see it.
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            if (got < 0)
                return;
            if (!IsDialogMessageW(window, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }

    bool setClipboardText(NativeWindow owner, std::u16string_view text) override {
        if (!OpenClipboard(static_cast<HWND>(owner)))
            return false;
        bool done = false;
        if (EmptyClipboard()) {
            const SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
            if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
                bool handedOver = false;
                if (void* target = GlobalLock(memory)) {
                    std::memcpy(target, text.data(), text.size() * sizeof(wchar_t));
                    static_cast<wchar_t*>(target)[text.size()] = L'\0';
                    GlobalUnlock(memory);
                    // Once set, the clipboard owns the memory.
                    handedOver = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
                }
                if (!handedOver)
                    GlobalFree(memory);
                done = handedOver;
            }
        }
        CloseClipboard();
        return done;
    }
};

}  // namespace

UiSeam& systemUiSeam() {
    static SystemUiSeam seam;
    return seam;
}

}  // namespace tessalin
