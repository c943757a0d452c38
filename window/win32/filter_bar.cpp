// The filter bar: its controls read as a row filter, and the list shows the
// rows that pass. What it means comes from window/filter_bar.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "window/command_ids.h"
#include "window/filter_bar.h"
#include "window/win32/main_window.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

std::u16string controlText(const MainWindowState& state, int id) {
    HWND control = state.filterControls[id - kFilterFirstId];
    if (control == nullptr)
        return {};
    const int length = GetWindowTextLengthW(control);
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int got = GetWindowTextW(control, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return text;
}

}  // namespace

void applyFilterBar(MainWindowState& state) {
    FilterBarInput input;
    try {
        input.namePattern = controlText(state, kFilterNameId);
        input.minimumSize = controlText(state, kFilterMinimumSizeId);
        HWND flagged = state.filterControls[kFilterFlaggedId - kFilterFirstId];
        input.flaggedOnly =
            flagged != nullptr && SendMessageW(flagged, BM_GETCHECK, 0, 0) == BST_CHECKED;
        const FilterBarReading reading = readFilterBar(input);
        state.rows.setFilter(reading.filter);
        if (!reading.sizeUnderstood)
            setStatusText(state, kSizeNotUnderstoodText);
    } catch (const std::bad_alloc&) {
        // The list keeps the rows it showed.
    }
    if (state.listView != nullptr) {
        // The rows are others now: what was selected is no longer what the rows show.
        clearSelection(state);
        SendMessageW(state.listView, LVM_SETITEMCOUNT,
                     static_cast<WPARAM>(state.rows.rowOrder.size()), 0);
        InvalidateRect(state.listView, nullptr, TRUE);
    }
    refreshEmptyListText(state);
    updateCommandStates(state);
    refreshStatusBar(state);
}

bool onFilterBarNotification(MainWindowState& state, int id, int code) {
    if (id == kFilterNameId || id == kFilterMinimumSizeId) {
        if (code == EN_CHANGE)
            applyFilterBar(state);
        return true;
    }
    if (id == kFilterFlaggedId) {
        if (code == BN_CLICKED)
            applyFilterBar(state);
        return true;
    }
    return false;
}

}  // namespace tessalin
