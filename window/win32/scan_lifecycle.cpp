// The scan's life on a worker thread: start, the timer's drain, the end and
// the explanations that follow it.
#include <windows.h>
#include <commctrl.h>

#include <new>
#include <utility>

#include "engine/value_text.h"
#include "frontend/root_preparation.h"
#include "frontend/scan_texts.h"
#include "window/command_ids.h"
#include "window/removal_progress.h"
#include "window/status_texts.h"
#include "window/win32/main_window.h"

namespace tessalin {
namespace {

void refreshAfterStateChange(MainWindowState& state) {
    refreshEmptyListText(state);
    updateCommandStates(state);
    refreshStatusBar(state);
}

constexpr std::u16string_view kNoTimerBoxText =
    u"The scan could not be started: this program was unable to create a timer for it.";

// What the status line says once records could not join the list for lack of
// memory: the list is short, and says by how much.
std::u16string recordsLeftOutText(std::uint64_t count) {
    return u"There was not enough memory to list everything the scan found: " +
           streamscan::countPhrase(count, u"row is", u"rows are") + u" missing from the list.";
}

// Moves what the worker handed over into the window: records to the bottom of
// the list, the counters to the status bar, the folder to the status line.
// Records that cannot join the list for lack of memory are counted as left
// out, and the status line says so until the next scan.
void drainPending(MainWindowState& state) {
    ScanSession& scan = state.scan;
    DrainedOutput output = scan.drain();
    const std::size_t arrived = output.records.size();
    const bool listWasEmpty = state.rows.rowOrder.empty();
    try {
        if (arrived != 0)
            appendResults(state, std::move(output.records), std::move(output.keys));
    } catch (const std::bad_alloc&) {
        scan.recordsLeftOut += arrived;
    }
    try {
        const bool hadPlaces = scan.keepCountersAndPlaces(output);
        if (scan.recordsLeftOut != 0) {
            setStatusText(state, recordsLeftOutText(scan.recordsLeftOut));
        } else if (output.progress && scan.running && !scan.worker.cancelling() &&
                   !output.folder.empty()) {
            // "Cancelling..." stays until the scan has ended.
            setStatusText(state, scanProgressText(output.folder));
        }
        // Select All and Export become possible with the first rows, Not
        // Examined with the first place.
        if ((listWasEmpty && !state.rows.rowOrder.empty()) || hadPlaces)
            updateCommandStates(state);
        if (arrived != 0 || output.progress)
            refreshStatusBar(state);
    } catch (const std::bad_alloc&) {
        // The texts catch up at the next tick; the records are already placed.
    }
}

// An empty or short list must not pass for a clean result: when the counters
// say the scan did not see everything, a box says so.
void explainScanEnd(MainWindowState& state) {
    const ScanEndExplanation explanation =
        scanEndExplanation(state.scan.stats, !state.rows.rowOrder.empty(), state.scan.roots,
                           state.scan.volumeAnswers(*state.fileSystem));
    if (explanation.box != ScanEndBox::none)
        showMessageBox(state, explanation.text, MB_ICONWARNING | MB_OK);
}

}  // namespace

void startScan(MainWindowState& state, const std::vector<std::u16string>& locations) {
    if (locations.empty())
        return;
    if (state.scan.running) {
        showMessageBox(state, kScanAlreadyRunningText, MB_ICONINFORMATION | MB_OK);
        return;
    }
    if (workerBusy(state)) {
        showMessageBox(state, kRemovalRunningText, MB_ICONINFORMATION | MB_OK);
        return;
    }
    // `locations` may be the last scan's roots themselves; reset takes a copy.
    state.scan.reset(prepareRoots(locations, *state.fileSystem), *state.fileSystem);
    clearResults(state);

    // The timer comes first: a scan whose end no tick would notice could only
    // be ended by closing the window.
    const bool timerStarted =
        state.setTimer(state.window, kScanTimerId, kScanTimerIntervalMs, nullptr) != 0;
    if (!timerStarted || !state.scan.start(state.scanOptions, state.startWorker)) {
        if (timerStarted)
            KillTimer(state.window, kScanTimerId);
        setStatusText(state, kScanNotStartedText);
        refreshAfterStateChange(state);
        showMessageBox(state, timerStarted ? kScanNotStartedBoxText : kNoTimerBoxText,
                       MB_ICONERROR | MB_OK);
        return;
    }
    setStatusText(
        state, scanStartText(state.scan.roots, state.scan.duplicateRoots, state.scan.nestedRoots));
    refreshAfterStateChange(state);
}

void onScanTimer(MainWindowState& state) {
    // A tick that was already queued when the scan ended finds nothing to do.
    if (!state.scan.running)
        return;
    const bool workerEnded = state.scan.workerReturned();
    drainPending(state);
    // While the window is closing, the close handler ends the scan itself.
    if (workerEnded && !state.closing)
        endScan(state, true);
}

void endScan(MainWindowState& state, bool explain) {
    if (state.window != nullptr)
        KillTimer(state.window, kScanTimerId);
    state.scan.end();
    drainPending(state);  // the last records and the final counters
    if (state.sortColumn >= 0)
        sortRows(state, state.sortColumn, false);

    const ScanSession& scan = state.scan;
    std::u16string endText = scanEndText(scan.stats, scan.duplicateRoots, scan.nestedRoots);
    if (scan.recordsLeftOut != 0)
        endText += u" " + recordsLeftOutText(scan.recordsLeftOut);
    setStatusText(state, endText);
    refreshAfterStateChange(state);
    if (state.listView != nullptr)
        InvalidateRect(state.listView, nullptr, TRUE);
    if (explain)
        explainScanEnd(state);
}

}  // namespace tessalin
