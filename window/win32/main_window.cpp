// The window class, creation and the window procedure: a routing table from
// each message to a named handler. The handlers live here or in the file of
// their concern; below them is plain logic.
#include "window/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <new>

#include "window/command_ids.h"
#include "window/layout.h"
#include "window/product_info.h"
#include "window/removal_progress.h"
#include "frontend/scan_texts.h"
#include "window/status_texts.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

MainWindowState* stateOf(HWND window) {
    return reinterpret_cast<MainWindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// GetDpiForWindow exists from Windows 10 1607 on; looked up once per process.
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
GetDpiForWindowFunction getDpiForWindow() {
    static const GetDpiForWindowFunction function = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        return user32 == nullptr
                   ? nullptr
                   : reinterpret_cast<GetDpiForWindowFunction>(
                         reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
    }();
    return function;
}

std::uint32_t windowDpi(HWND window) {
    if (auto function = getDpiForWindow()) {
        if (const UINT dpi = function(window); dpi != 0)
            return dpi;
    }
    int dpi = 0;
    if (HDC dc = GetDC(window)) {
        dpi = GetDeviceCaps(dc, LOGPIXELSX);
        ReleaseDC(window, dc);
    }
    return static_cast<std::uint32_t>(usableDpi(dpi));
}

int screenDpi() {
    int dpi = 0;
    if (HDC dc = GetDC(nullptr)) {
        dpi = GetDeviceCaps(dc, LOGPIXELSX);
        ReleaseDC(nullptr, dc);
    }
    return usableDpi(dpi);
}

LRESULT onCreate(MainWindowState& state, HWND window) {
    state.window = window;
    state.dpi = windowDpi(window);
    state.scan.handOver.setKeyMaker(userCollationKey);
    state.menu = createMainMenu();
    SetMenu(window, state.menu);
    createChildControls(state);
    DragAcceptFiles(window, TRUE);
    updateViewChecks(state);
    layoutWindow(state);
    refreshEmptyListText(state);
    setStatusText(state, kReadyText);
    updateCommandStates(state);
    refreshStatusBar(state);
    return 0;
}

void onGetMinMaxInfo(const MainWindowState& state, MINMAXINFO* info) {
    const Size least = minimumTrackingSize(static_cast<int>(state.dpi));
    info->ptMinTrackSize.x = least.width;
    info->ptMinTrackSize.y = least.height;
}

void onSetFocus(MainWindowState& state) {
    if (state.listView != nullptr)
        SetFocus(state.listView);
}

void onSysColorChange(MainWindowState& state) {
    // Row colours depend on the window colour, so every row is drawn again.
    if (state.listView != nullptr)
        InvalidateRect(state.listView, nullptr, TRUE);
}

std::optional<LRESULT> onNotify(MainWindowState& state, NMHDR* header) {
    if (header == nullptr || state.listView == nullptr || header->hwndFrom != state.listView) {
        return std::nullopt;
    }
    return onListNotify(state, header);
}

bool onContextMenu(MainWindowState& state, HWND target, LPARAM position) {
    if (target == nullptr || target != state.listView)
        return false;
    showRowContextMenu(state, GET_X_LPARAM(position), GET_Y_LPARAM(position));
    return true;
}

void onTimer(MainWindowState& state, UINT_PTR timer) {
    if (timer == kScanTimerId)
        onScanTimer(state);
    else if (timer == kRemovalTimerId)
        onRemovalTimer(state);
    else if (timer == kDigestTimerId)
        onDigestTimer(state);
    else if (timer == kSaveTimerId)
        onSaveTimer(state);
}

// Waits for a worker after the user closed the window while it ran. The
// window keeps painting and the timers keep draining meanwhile.
void waitForWorker(HANDLE thread) {
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            return;
        if (result != WAIT_OBJECT_0 + 1) {
            WaitForSingleObject(thread, INFINITE);
            return;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // The loop that owns WM_QUIT must still see it.
                PostQuitMessage(static_cast<int>(message.wParam));
                WaitForSingleObject(thread, INFINITE);
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// A running scan, removal or save is stopped first and ended here, once,
// without the boxes that would follow its end.
void onClose(MainWindowState& state) {
    const bool removing = state.removal != nullptr;
    WorkerThread* worker = busyWorker(state);
    if (worker == nullptr) {
        DestroyWindow(state.window);
        return;
    }
    if (state.closing)
        return;  // a second close while waiting changes nothing
    state.closing = true;
    worker->cancel();
    setStatusText(state,
                  removing ? kCancellingRemovalBeforeClosingText : kCancellingBeforeClosingText);
    refreshStatusBar(state);
    HWND window = state.window;
    if (worker->started())
        waitForWorker(worker->handle());
    if (removing)
        endRemoval(state, false);
    else if (state.save)
        endSave(state, false);
    else
        endScan(state, false);
    DestroyWindow(window);
}

// Per-monitor DPI: the window was moved to a screen of another DPI (or that
// screen's scale changed). Everything scaled is made again for the new DPI,
// and the window takes the size and place the system suggests.
void onDpiChanged(MainWindowState& state, WPARAM wParam, const RECT* suggested) {
    changeDpi(state, static_cast<std::uint32_t>(usableDpi(HIWORD(wParam))));
    if (suggested != nullptr) {
        SetWindowPos(state.window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    layoutWindow(state);
}

void onDestroy(MainWindowState& state) {
    KillTimer(state.window, kScanTimerId);
    endDigest(state, false);
    state.listFont.reset();
    PostQuitMessage(0);
}

void onNcDestroy(MainWindowState& state, HWND window) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    state.window = nullptr;
    state.listView = nullptr;
    state.statusBar = nullptr;
    state.menu = nullptr;  // destroyed with the window
    for (HWND& button : state.buttons)
        button = nullptr;
}

LRESULT handleMessage(MainWindowState& state, HWND window, UINT message, WPARAM wParam,
                      LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return onCreate(state, window);
        case WM_SIZE:
            layoutWindow(state);
            return 0;
        case WM_DPICHANGED:
            onDpiChanged(state, wParam, reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_GETMINMAXINFO:
            onGetMinMaxInfo(state, reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_SETFOCUS:
            onSetFocus(state);
            return 0;
        case WM_SYSCOLORCHANGE:
        case WM_THEMECHANGED:
            onSysColorChange(state);
            break;
        case WM_NOTIFY:
            if (auto result = onNotify(state, reinterpret_cast<NMHDR*>(lParam)))
                return *result;
            break;
        case WM_CONTEXTMENU:
            if (onContextMenu(state, reinterpret_cast<HWND>(wParam), lParam))
                return 0;
            break;
        case WM_COMMAND:
            if (onFilterBarNotification(state, LOWORD(wParam), HIWORD(wParam)))
                return 0;
            if (onCommand(state, LOWORD(wParam)))
                return 0;
            break;
        case WM_TIMER:
            onTimer(state, static_cast<UINT_PTR>(wParam));
            return 0;
        case WM_DROPFILES:
            scanDroppedItems(state, reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_CLOSE:
            onClose(state);
            return 0;
        case WM_DESTROY:
            onDestroy(state);
            return 0;
        case WM_NCDESTROY:
            onNcDestroy(state, window);
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    MainWindowState* state = stateOf(window);
    // Messages before WM_NCCREATE (the first WM_GETMINMAXINFO) have no state yet.
    if (state == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    // No exception may unwind through the system's frames; the handlers that
    // can run short of memory deal with it themselves, this is the last stop.
    try {
        return handleMessage(*state, window, message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool registerMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, kMainWindowClass, &existing))
        return true;

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassExW(&windowClass) != 0;
}

HWND createMainWindow(HINSTANCE instance, MainWindowState& state) {
    state.instance = instance;
    const Rect place = initialWindowRect(screenDpi(), GetSystemMetrics(SM_CXSCREEN),
                                         GetSystemMetrics(SM_CYSCREEN));
    return CreateWindowExW(WS_EX_ACCEPTFILES, kMainWindowClass, wideText(kProductName),
                           WS_OVERLAPPEDWINDOW, place.left, place.top, place.width(),
                           place.height(), nullptr, nullptr, instance, &state);
}

HACCEL createMainAccelerators() {
    static_assert(kAccelVirtualKey == FVIRTKEY && kAccelControl == FCONTROL);
    ACCEL table[std::size(kAccelerators)];
    for (std::size_t i = 0; i < std::size(kAccelerators); ++i) {
        table[i].fVirt = kAccelerators[i].flags;
        table[i].key = kAccelerators[i].key;
        table[i].cmd = static_cast<WORD>(kAccelerators[i].command);
    }
    return CreateAcceleratorTableW(table, static_cast<int>(std::size(table)));
}

void dispatchWithAccelerators(MSG& message, HWND window, HACCEL accelerators) {
    if (accelerators != nullptr && window != nullptr &&
        TranslateAcceleratorW(window, accelerators, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace tessalin
