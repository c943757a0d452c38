// Stream > Not Examined...: a resizable dialog listing every place the last
// scan did not examine (Place, Reason), sortable by either column, with Copy
// and Close. It is sized to fit the work area of the window's screen at the
// window's DPI. What it shows and copies comes from places_table.
#include <windows.h>
#include <commctrl.h>

#include <new>
#include <utility>

#include "window/layout.h"
#include "window/places_table.h"
#include "window/product_info.h"
#include "window/win32/main_window.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

constexpr wchar_t kPlacesDialogClass[] = L"TessalinPlaces";
constexpr int kPlacesListId = 1601;
constexpr int kCopyPlacesId = 1602;
constexpr int kPlaceColumnWidth = 460;
constexpr int kReasonColumnWidth = 240;
constexpr int kDialogLeastWidth = 420;
constexpr int kDialogLeastHeight = 240;

struct PlacesDialog {
    PlacesDialog(MainWindowState& owner, PlacesTable rows) : main(&owner), table(std::move(rows)) {}

    MainWindowState* main;
    PlacesTable table;
    HWND list = nullptr;
    HWND copy = nullptr;
    HWND close = nullptr;
    std::u16string cell;  // keeps the text of the cell the list asked for
};

PlacesDialog* dialogOf(HWND window) {
    return reinterpret_cast<PlacesDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void layoutDialog(PlacesDialog& dialog, HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const PlacesDialogLayout layout =
        placesDialogLayout(client.right, client.bottom, static_cast<int>(dialog.main->dpi));
    const auto place = [](HWND control, const Rect& r) {
        if (control != nullptr)
            MoveWindow(control, r.left, r.top, r.width(), r.height(), TRUE);
    };
    place(dialog.list, layout.list);
    place(dialog.copy, layout.copyButton);
    place(dialog.close, layout.closeButton);
}

void showSortArrow(const PlacesDialog& dialog) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(dialog.list, LVM_GETHEADER, 0, 0));
    for (int i = 0; header != nullptr && i < 2; ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == dialog.table.sortColumn())
            item.fmt |= dialog.table.ascending() ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
}

void copyPlaces(PlacesDialog& dialog, HWND window) {
    MainWindowState& state = *dialog.main;
    try {
        const bool copied = state.ui->setClipboardText(window, dialog.table.copyText());
        setStatusText(state, copied ? copiedPlacesText(dialog.table.rows().size())
                                    : std::u16string(u"The clipboard could not be opened."));
    } catch (const std::bad_alloc&) {
        setStatusText(state, u"The clipboard could not be opened.");
    }
    refreshStatusBar(state);
}

HWND createControl(HWND parent, const wchar_t* type, std::u16string_view text, DWORD style,
                   DWORD extended, int id, HFONT font) {
    const std::u16string name(text);
    HWND control = CreateWindowExW(
        extended, type, wideText(name), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return control;
}

void onCreate(PlacesDialog& dialog, HWND window) {
    const int dpi = static_cast<int>(dialog.main->dpi);
    const HFONT font = dialog.main->listFont ? dialog.main->listFont.get()
                                             : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    dialog.list = createControl(window, WC_LISTVIEWW, u"",
                                WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
                                WS_EX_CLIENTEDGE, kPlacesListId, font);
    dialog.copy = createControl(window, L"BUTTON", kCopyButtonText, WS_TABSTOP | BS_PUSHBUTTON, 0,
                                kCopyPlacesId, font);
    dialog.close = createControl(window, L"BUTTON", kCloseButtonText, WS_TABSTOP | BS_DEFPUSHBUTTON,
                                 0, IDCANCEL, font);
    if (dialog.list != nullptr) {
        const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER;
        SendMessageW(dialog.list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
        const std::u16string_view headers[] = {kPlaceColumn, kReasonColumn};
        const int widths[] = {kPlaceColumnWidth, kReasonColumnWidth};
        for (int i = 0; i < 2; ++i) {
            const std::u16string header(headers[i]);
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            column.cx = scaled(widths[i], dpi);
            column.pszText = const_cast<wchar_t*>(wideText(header));
            column.iSubItem = i;
            SendMessageW(dialog.list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&column));
        }
        SendMessageW(dialog.list, LVM_SETITEMCOUNT, static_cast<WPARAM>(dialog.table.rows().size()),
                     0);
    }
    layoutDialog(dialog, window);
    if (dialog.list != nullptr)
        SetFocus(dialog.list);
}

LRESULT onNotify(PlacesDialog& dialog, NMHDR* header) {
    if (header->hwndFrom != dialog.list)
        return 0;
    if (header->code == LVN_GETDISPINFOW) {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(header)->item;
        const auto& rows = dialog.table.rows();
        if ((item.mask & LVIF_TEXT) != 0) {
            const bool inRange =
                item.iItem >= 0 && static_cast<std::size_t>(item.iItem) < rows.size();
            dialog.cell = !inRange             ? std::u16string()
                          : item.iSubItem == 0 ? rows[static_cast<std::size_t>(item.iItem)].place
                                               : rows[static_cast<std::size_t>(item.iItem)].reason;
            item.pszText = const_cast<wchar_t*>(wideText(dialog.cell));
        }
    } else if (header->code == LVN_COLUMNCLICK) {
        dialog.table.sortBy(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        showSortArrow(dialog);
        InvalidateRect(dialog.list, nullptr, FALSE);
    }
    return 0;
}

LRESULT CALLBACK placesDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    PlacesDialog* dialog = dialogOf(window);
    if (dialog == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    try {
        switch (message) {
            case WM_CREATE:
                onCreate(*dialog, window);
                return 0;
            case WM_SIZE:
                layoutDialog(*dialog, window);
                return 0;
            case WM_GETMINMAXINFO: {
                const int dpi = static_cast<int>(dialog->main->dpi);
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                info->ptMinTrackSize = {scaled(kDialogLeastWidth, dpi),
                                        scaled(kDialogLeastHeight, dpi)};
                return 0;
            }
            case WM_NOTIFY:
                return onNotify(*dialog, reinterpret_cast<NMHDR*>(lParam));
            case WM_COMMAND:
                if (LOWORD(wParam) == kCopyPlacesId)
                    copyPlaces(*dialog, window);
                else if (LOWORD(wParam) == IDCANCEL)
                    DestroyWindow(window);
                return 0;
            case WM_CLOSE:
                DestroyWindow(window);
                return 0;
            case WM_NCDESTROY:
                SetWindowLongPtrW(window, GWLP_USERDATA, 0);
                break;
            default:
                break;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool registerPlacesDialogClass(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, kPlacesDialogClass, &existing))
        return true;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = placesDialogProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kPlacesDialogClass;
    return RegisterClassExW(&windowClass) != 0;
}

// The work area of the screen that shows the main window.
Rect workAreaOf(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& r = monitor.rcWork;
        return {r.left, r.top, r.right, r.bottom};
    }
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace

void showNotExaminedPlaces(MainWindowState& state) {
    if (state.scan.places.empty())
        return;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    try {
        PlacesDialog dialog(state, PlacesTable(state.scan.places));
        if (!registerPlacesDialogClass(instance))
            return;
        const Rect place = placesDialogRect(static_cast<int>(state.dpi), workAreaOf(state.window));
        const std::u16string title =
            std::u16string(kPlacesDialogTitle) + u" - " + std::u16string(kProductName);
        HWND window = CreateWindowExW(
            WS_EX_DLGMODALFRAME, kPlacesDialogClass, wideText(title),
            WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE, place.left, place.top,
            place.width(), place.height(), state.window, nullptr, instance, &dialog);
        if (window == nullptr)
            return;
        // Modal: the main window takes no input until the dialog is gone.
        const bool wasEnabled = state.window != nullptr && !EnableWindow(state.window, FALSE);
        state.ui->runDialog(window);
        if (IsWindow(window))
            DestroyWindow(window);
        if (wasEnabled)
            EnableWindow(state.window, TRUE);
        if (state.window != nullptr)
            SetActiveWindow(state.window);
    } catch (const std::bad_alloc&) {
        // Without memory for the rows there is nothing to show.
    }
}

}  // namespace tessalin
