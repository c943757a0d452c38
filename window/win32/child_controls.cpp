// The six push buttons, the result list with its nine columns and the status
// bar: created once with one font, placed for every client size, and the
// columns fitted to the list's width until the user sizes one himself.
#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "window/command_ids.h"
#include "window/layout.h"
#include "window/win32/main_window.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

constexpr UINT_PTR kListSubclassId = 1;

void setFont(HWND control, HFONT font) {
    if (control != nullptr)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// SystemParametersInfoForDpi exists from Windows 10 1607 on; looked up once.
using MetricsForDpiFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
MetricsForDpiFunction metricsForDpi() {
    static const MetricsForDpiFunction function = [] {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        return user32 == nullptr ? nullptr
                                 : reinterpret_cast<MetricsForDpiFunction>(reinterpret_cast<void*>(
                                       GetProcAddress(user32, "SystemParametersInfoForDpi")));
    }();
    return function;
}

// The message font at the window's DPI: the system's metrics for that DPI
// where it gives them, else its own metrics (made for the screen's DPI) scaled.
void chooseListFont(MainWindowState& state) {
    NONCLIENTMETRICSW metrics{};
    static_assert(sizeof metrics == 504, "the message font comes with the Vista-sized structure");
    metrics.cbSize = sizeof metrics;
    bool have = false;
    if (auto forDpi = metricsForDpi()) {
        have = forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, state.dpi) != 0;
    }
    if (!have && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        have = true;
        int screenDpi = 0;
        if (HDC screen = GetDC(nullptr)) {
            screenDpi = GetDeviceCaps(screen, LOGPIXELSY);
            ReleaseDC(nullptr, screen);
        }
        metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight,
                                                static_cast<int>(state.dpi), usableDpi(screenDpi));
    }
    state.listFont.reset(have ? CreateFontIndirectW(&metrics.lfMessageFont) : nullptr);
}

HFONT shownFont(const MainWindowState& state) {
    return state.listFont ? state.listFont.get()
                          : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void setFontOnControls(MainWindowState& state) {
    const HFONT font = shownFont(state);
    for (HWND button : state.buttons)
        setFont(button, font);
    for (HWND control : state.filterControls)
        setFont(control, font);
    setFont(state.listView, font);
    setFont(state.statusBar, font);
}

void paintEmptyListText(MainWindowState& state, HWND list) {
    if (state.emptyListText.empty() || SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) != 0) {
        return;
    }
    RECT area;
    GetClientRect(list, &area);
    if (HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0))) {
        RECT headerRect;
        if (GetWindowRect(header, &headerRect))
            area.top += headerRect.bottom - headerRect.top;
    }
    HDC dc = GetDC(list);
    if (dc == nullptr)
        return;
    HGDIOBJ oldFont = SelectObject(dc, shownFont(state));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(dc, wideText(state.emptyListText), static_cast<int>(state.emptyListText.size()),
              &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    ReleaseDC(list, dc);
}

LRESULT CALLBACK listSubclassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
    auto& state = *reinterpret_cast<MainWindowState*>(data);
    switch (message) {
        case WM_PAINT: {
            // The list paints first; the text goes over its empty area.
            const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
            paintEmptyListText(state, list);
            return result;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header != nullptr &&
                (header->code == HDN_ENDTRACKW || header->code == HDN_ENDTRACKA)) {
                state.columnsSizedByUser = true;
            }
            break;
        }
        case WM_DROPFILES:
            // A drop on the list is a drop on the window.
            SendMessageW(GetParent(list), WM_DROPFILES, wParam, lParam);
            return 0;
        case WM_NCDESTROY:
            RemoveWindowSubclass(list, listSubclassProc, kListSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

HWND createList(MainWindowState& state) {
    HWND list = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0,
        0, 0, state.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListViewId)),
        state.instance, nullptr);
    if (list == nullptr)
        return nullptr;
    const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER;
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);

    state.columnWidths = scaledColumnWidths(static_cast<int>(state.dpi));
    for (int i = 0; i < kListColumnCount; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = kColumns[i].rightAligned ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = state.columnWidths[static_cast<std::size_t>(i)];
        column.pszText = const_cast<wchar_t*>(wideText(std::u16string_view(kColumns[i].header)));
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }
    SetWindowSubclass(list, listSubclassProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(&state));
    DragAcceptFiles(list, TRUE);
    return list;
}

// A label, the name pattern's edit box, "Flagged only", a label and the
// minimum size's edit box; a change in any of them filters the list at once.
void createFilterBar(MainWindowState& state) {
    for (int i = 0; i < kFilterControlCount; ++i) {
        const int id = kFilterFirstId + i;
        const wchar_t* text = wideText(std::u16string_view(kFilterControls[i].text));
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD extended = 0;
        const wchar_t* type = L"STATIC";
        if (id == kFilterNameId || id == kFilterMinimumSizeId) {
            type = L"EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL;
            extended = WS_EX_CLIENTEDGE;
        } else if (id == kFilterFlaggedId) {
            type = L"BUTTON";
            style |= WS_TABSTOP | BS_AUTOCHECKBOX;
        } else {
            style |= SS_RIGHT | SS_CENTERIMAGE;
        }
        state.filterControls[i] = CreateWindowExW(
            extended, type, text, style, 0, 0, 0, 0, state.window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), state.instance, nullptr);
    }
}

}  // namespace

void createChildControls(MainWindowState& state) {
    chooseListFont(state);
    for (int i = 0; i < kButtonCount; ++i) {
        HWND button = CreateWindowExW(
            0, L"BUTTON", wideText(std::u16string_view(kButtons[i].text)),
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, state.window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtons[i].command)), state.instance,
            nullptr);
        state.buttons[i] = button;
    }
    createFilterBar(state);
    state.listView = createList(state);
    state.statusBar = CreateWindowExW(
        0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | SBARS_TOOLTIPS, 0, 0, 0,
        0, state.window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)),
        state.instance, nullptr);
    setFontOnControls(state);
}

void changeDpi(MainWindowState& state, std::uint32_t dpi) {
    const std::uint32_t oldDpi = state.dpi;
    state.dpi = dpi;
    {
        // The old font goes only once no control holds it.
        const OwnedFont oldFont = std::move(state.listFont);
        chooseListFont(state);
        setFontOnControls(state);
    }

    state.columnWidths = scaledColumnWidths(static_cast<int>(dpi));
    if (state.columnsSizedByUser && state.listView != nullptr) {
        // Widths the user chose keep their size on the new screen.
        for (int i = 0; i < kListColumnCount; ++i) {
            const int width = static_cast<int>(
                SendMessageW(state.listView, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
            SendMessageW(
                state.listView, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                MAKELPARAM(MulDiv(width, static_cast<int>(dpi), static_cast<int>(oldDpi)), 0));
        }
    }
}

void layoutWindow(MainWindowState& state) {
    if (state.window == nullptr || state.statusBar == nullptr)
        return;
    RECT client;
    if (!GetClientRect(state.window, &client))
        return;
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return;
    const int dpi = static_cast<int>(state.dpi);

    // The status bar places itself at the bottom when told of the new size.
    SendMessageW(state.statusBar, WM_SIZE, 0, 0);
    RECT statusRect;
    GetWindowRect(state.statusBar, &statusRect);
    const int statusHeight = statusRect.bottom - statusRect.top;
    const auto edges = statusPartEdges(width, dpi);
    int parts[kStatusPartCount];
    for (int i = 0; i < kStatusPartCount; ++i)
        parts[i] = edges[static_cast<std::size_t>(i)];
    SendMessageW(state.statusBar, SB_SETPARTS, kStatusPartCount, reinterpret_cast<LPARAM>(parts));

    const auto rects = buttonRects(dpi);
    for (int i = 0; i < kButtonCount; ++i) {
        if (state.buttons[i] == nullptr)
            continue;
        const Rect& r = rects[static_cast<std::size_t>(i)];
        MoveWindow(state.buttons[i], r.left, r.top, r.width(), r.height(), TRUE);
    }
    const auto filterRects = filterBarRects(dpi);
    for (int i = 0; i < kFilterControlCount; ++i) {
        if (state.filterControls[i] == nullptr)
            continue;
        const Rect& r = filterRects[static_cast<std::size_t>(i)];
        MoveWindow(state.filterControls[i], r.left, r.top, r.width(), r.height(), TRUE);
    }
    if (state.listView != nullptr) {
        const Rect r = listRect(width, height, statusHeight, dpi);
        MoveWindow(state.listView, r.left, r.top, r.width(), r.height(), TRUE);
        fitColumns(state, r.width());
    }
}

void fitColumns(MainWindowState& state, int listWidth) {
    if (state.columnsSizedByUser || state.listView == nullptr)
        return;
    const ColumnWidths widths = fitColumnWidths(listWidth, static_cast<int>(state.dpi),
                                                GetSystemMetrics(SM_CXVSCROLL), state.columnWidths);
    for (int i = 0; i < kListColumnCount; ++i) {
        SendMessageW(state.listView, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                     MAKELPARAM(widths[static_cast<std::size_t>(i)], 0));
    }
}

}  // namespace tessalin
