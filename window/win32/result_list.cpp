// The virtual result list: the control holds only a row count and selection
// states and asks the model (ResultRows) for every cell it paints.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "engine/display_escape.h"
#include "frontend/column_text.h"
#include "window/layout.h"
#include "window/row_colour.h"
#include "window/status_texts.h"
#include "window/win32/main_window.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

// The list asks for the text of each visible cell; one buffer for the process
// keeps the pointer valid after the notification returns.
std::u16string& cellTextBuffer() {
    static std::u16string buffer;
    return buffer;
}

void setSelectionOfAll(HWND list, bool selected) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

void selectRow(HWND list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void setItemCount(const MainWindowState& state, DWORD flags) {
    SendMessageW(state.listView, LVM_SETITEMCOUNT, static_cast<WPARAM>(state.rows.rowOrder.size()),
                 flags);
}

LRESULT onGetDispInfo(MainWindowState& state, NMLVDISPINFOW* info) {
    LVITEMW& item = info->item;
    if ((item.mask & LVIF_TEXT) == 0)
        return 0;
    std::u16string& buffer = cellTextBuffer();
    const streamscan::StreamRecord* record = state.rows.recordAtRow(item.iItem);
    buffer = record == nullptr ? std::u16string()
                               : streamscan::escapeForDisplay(columnText(*record, item.iSubItem));
    item.pszText = const_cast<wchar_t*>(wideText(buffer));
    return 0;
}

LRESULT onFindItem(const MainWindowState& state, const NMLVFINDITEMW* find) {
    const LVFINDINFOW& info = find->lvfi;
    if ((info.flags & LVFI_STRING) == 0 || info.psz == nullptr)
        return -1;
    const bool partial = (info.flags & LVFI_PARTIAL) != 0;
    return state.rows.findRow(fromWide(info.psz), find->iStart, partial);
}

LRESULT onCustomDraw(MainWindowState& state, NMLVCUSTOMDRAW* draw) {
    switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            const int row = static_cast<int>(draw->nmcd.dwItemSpec);
            const streamscan::StreamRecord* record = state.rows.recordAtRow(row);
            if (record == nullptr)
                return CDRF_DODEFAULT;
            // A selected row keeps the list's own highlight colours.
            if (SendMessageW(state.listView, LVM_GETITEMSTATE, static_cast<WPARAM>(row),
                             LVIS_SELECTED) &
                LVIS_SELECTED) {
                return CDRF_DODEFAULT;
            }
            const COLORREF window = GetSysColor(COLOR_WINDOW);
            const auto colour =
                rowTextColour(record->severity,
                              RgbColour{GetRValue(window), GetGValue(window), GetBValue(window)});
            if (!colour)
                return CDRF_DODEFAULT;
            draw->clrText = RGB(colour->red, colour->green, colour->blue);
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

}  // namespace

// LCMapStringW's sort key orders texts as CompareStringW does. Called on the
// worker for every arriving record and on the window thread by a sort.
bool userCollationKey(std::u16string_view text, std::string& key) {
    key.clear();
    if (text.empty())
        return true;
    if (text.size() > 0x7FFFFFF)
        return false;
    const int length = static_cast<int>(text.size());
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int size = LCMapStringW(LOCALE_USER_DEFAULT, flags, wideText(text), length, nullptr, 0);
    if (size <= 0)
        return false;
    key.resize(static_cast<std::size_t>(size));
    const int written = LCMapStringW(LOCALE_USER_DEFAULT, flags, wideText(text), length,
                                     reinterpret_cast<LPWSTR>(key.data()), size);
    if (written <= 0)
        return false;
    // The key ends in a zero byte, which plays no part in its order.
    key.resize(static_cast<std::size_t>(written) - 1);
    return true;
}

std::vector<int> selectedRows(const MainWindowState& state) {
    std::vector<int> rows;
    if (state.listView == nullptr)
        return rows;
    int row = -1;
    for (;;) {
        row =
            static_cast<int>(SendMessageW(state.listView, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                          MAKELPARAM(LVNI_SELECTED, 0)));
        if (row < 0)
            break;
        rows.push_back(row);
    }
    return rows;
}

std::optional<LRESULT> onListNotify(MainWindowState& state, NMHDR* header) {
    switch (header->code) {
        case LVN_GETDISPINFOW:
            return onGetDispInfo(state, reinterpret_cast<NMLVDISPINFOW*>(header));
        case LVN_ODFINDITEMW:
            return onFindItem(state, reinterpret_cast<NMLVFINDITEMW*>(header));
        case NM_CUSTOMDRAW:
            return onCustomDraw(state, reinterpret_cast<NMLVCUSTOMDRAW*>(header));
        case LVN_COLUMNCLICK:
            if (!state.scan.running)
                sortRows(state, reinterpret_cast<NMLISTVIEW*>(header)->iSubItem, true);
            return 0;
        case LVN_ITEMCHANGED:
            if ((reinterpret_cast<NMLISTVIEW*>(header)->uChanged & LVIF_STATE) != 0 &&
                !state.suppressSelectionEvents) {
                updateCommandStates(state);
            }
            return 0;
        case LVN_ODSTATECHANGED:
            if (!state.suppressSelectionEvents)
                updateCommandStates(state);
            return 0;
        case NM_DBLCLK:
            if (const auto* record =
                    state.rows.recordAtRow(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem)) {
                // A copy: the details view must not hold a record the list may drop.
                const streamscan::StreamRecord shown = *record;
                showDetails(state, shown);
            }
            return 0;
        default:
            return std::nullopt;
    }
}

void showSortArrow(MainWindowState& state, int column) {
    if (state.listView == nullptr)
        return;
    HWND header = reinterpret_cast<HWND>(SendMessageW(state.listView, LVM_GETHEADER, 0, 0));
    if (header == nullptr)
        return;
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(i),
                          reinterpret_cast<LPARAM>(&item))) {
            continue;
        }
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == column)
            item.fmt |= state.sortAscending ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
}

void sortRows(MainWindowState& state, int column, bool toggle) {
    if (state.listView == nullptr || column < 0 || column >= kListColumnCount)
        return;
    std::vector<bool> selectedRecords;
    try {
        selectedRecords = state.rows.markRecordsOfRows(selectedRows(state));
    } catch (const std::bad_alloc&) {
        selectedRecords.clear();
    }
    if (column != state.sortColumn) {
        state.sortColumn = column;
        state.sortAscending = true;
    } else if (toggle) {
        state.sortAscending = !state.sortAscending;
    }
    if (!state.rows.sortBy(state.sortColumn, state.sortAscending, userCollationKey)) {
        showSortArrow(state, -1);
        setStatusText(state, kNotEnoughMemoryToSortText);
        return;
    }
    showSortArrow(state, state.sortColumn);

    std::vector<int> reselect;
    try {
        reselect = state.rows.rowsOfMarkedRecords(selectedRecords);
    } catch (const std::bad_alloc&) {
        reselect.clear();
    }
    {
        const SelectionEventsSuppressed ownChange(state);
        setSelectionOfAll(state.listView, false);
        for (const int row : reselect)
            selectRow(state.listView, row);
    }
    InvalidateRect(state.listView, nullptr, FALSE);
    if (!reselect.empty()) {
        SendMessageW(state.listView, LVM_ENSUREVISIBLE, static_cast<WPARAM>(reselect.front()),
                     FALSE);
    }
}

void clearSelection(MainWindowState& state) {
    if (state.listView == nullptr)
        return;
    const SelectionEventsSuppressed ownChange(state);
    setSelectionOfAll(state.listView, false);
}

void clearResults(MainWindowState& state) {
    state.rows.clear();
    state.removedStreamCount = 0;
    // The sort column stays, so the next scan's result is sorted the same way at its end.
    showSortArrow(state, -1);
    if (state.listView == nullptr)
        return;
    {
        const SelectionEventsSuppressed ownChange(state);
        setSelectionOfAll(state.listView, false);
        setItemCount(state, 0);
    }
    InvalidateRect(state.listView, nullptr, TRUE);
}

void removeRecords(MainWindowState& state, const std::vector<bool>& marked) {
    state.rows.removeRecords(marked);
    if (state.listView == nullptr)
        return;
    {
        const SelectionEventsSuppressed ownChange(state);
        setSelectionOfAll(state.listView, false);
        setItemCount(state, 0);
    }
    InvalidateRect(state.listView, nullptr, TRUE);
}

void appendResults(MainWindowState& state, std::vector<streamscan::StreamRecord>&& records,
                   std::vector<RowKeys>&& keys) {
    if (state.rows.append(std::move(records), std::move(keys)) == 0 || state.listView == nullptr)
        return;
    // Rows arrive at the bottom without scrolling the list or repainting all of it.
    setItemCount(state, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

}  // namespace tessalin
