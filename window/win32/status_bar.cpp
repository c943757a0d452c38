// The status bar's four parts and the empty list's text, from the window's state.
#include <windows.h>
#include <commctrl.h>

#include "window/status_texts.h"
#include "window/filter_bar.h"
#include "window/win32/main_window.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

StatusState statusStateOf(const MainWindowState& state) {
    StatusState s;
    s.scanning = state.scan.running;
    s.scanEnded = state.scan.ended;
    s.stats = state.scan.stats;
    s.streamRowCount = state.rows.streamRowCount;
    s.removedStreamCount = state.removedStreamCount;
    s.listEmpty = state.rows.rowOrder.empty();
    return s;
}

void setPartText(HWND statusBar, int part, const std::u16string& text) {
    SendMessageW(statusBar, SB_SETTEXTW, static_cast<WPARAM>(part),
                 reinterpret_cast<LPARAM>(wideText(text)));
}

}  // namespace

void setStatusText(MainWindowState& state, std::u16string_view text) {
    state.statusText.assign(text);
    if (state.statusBar != nullptr)
        setPartText(state.statusBar, 0, state.statusText);
}

void refreshStatusBar(MainWindowState& state) {
    if (state.statusBar == nullptr)
        return;
    const StatusState s = statusStateOf(state);
    const std::u16string summary = notExaminedSummary(state.scan.stats, isScanKnown(s));
    setPartText(state.statusBar, 0, state.statusText);
    setPartText(state.statusBar, 1, scanCountsText(s));
    setPartText(state.statusBar, 2,
                streamsPartText(streamsListedText(s), state.rows.hiddenCount()));
    setPartText(state.statusBar, 3, summary);
    // The summary can be longer than its part; the tooltip shows it whole.
    SendMessageW(state.statusBar, SB_SETTIPTEXTW, 3, reinterpret_cast<LPARAM>(wideText(summary)));
}

void refreshEmptyListText(MainWindowState& state) {
    // Rows the filter hides are no empty result: the list says where they went.
    const std::uint64_t hidden = state.rows.hiddenCount();
    state.emptyListText = hidden != 0 && !state.scan.running ? nothingMatchesText(hidden)
                                                             : emptyListText(statusStateOf(state));
    if (state.listView != nullptr && state.rows.rowOrder.empty()) {
        InvalidateRect(state.listView, nullptr, TRUE);
    }
}

}  // namespace tessalin
