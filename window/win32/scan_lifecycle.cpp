// The scan's life on a worker thread: start, the timer's drain, the end and
// the explanations that follow it.
#include <windows.h>
#include <commctrl.h>
#include <process.h>

#include <memory>
#include <utility>

#include "window/command_ids.h"
#include "window/handover.h"
#include "frontend/root_preparation.h"
#include "frontend/scan_texts.h"
#include "engine/value_text.h"
#include "window/removal_progress.h"
#include "window/win32/main_window.h"

namespace tessalin {
namespace {

// What the worker thread is given; it owns this from the moment it starts.
struct WorkerStart {
    ScanJob job;
    HandOver* handOver;
    const std::atomic<bool>* cancelRequested;
    streamscan::FileSystem* fileSystem;
};

unsigned __stdcall scanWorker(void* parameter) {
    const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));
    runScanJob(start->job, *start->handOver, *start->cancelRequested, *start->fileSystem);
    return 0;
}

HANDLE startWorkerThread(const MainWindowState& state, WorkerStart* start) {
    if (state.startWorker != nullptr)
        return state.startWorker(scanWorker, start);
    const std::uintptr_t handle = _beginthreadex(nullptr, 0, scanWorker, start, 0, nullptr);
    return reinterpret_cast<HANDLE>(handle);
}

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
    DrainedOutput output = state.handOver.drain();
    const std::size_t arrived = output.records.size();
    const bool listWasEmpty = state.rows.rowOrder.empty();
    try {
        if (arrived != 0)
            appendResults(state, std::move(output.records), std::move(output.keys));
    } catch (const std::bad_alloc&) {
        state.recordsLeftOut += arrived;
    }
    try {
        const bool hadPlaces = state.placesNamed != output.placesNamed;
        for (streamscan::NotExaminedPlace& place : output.places)
            state.notExaminedPlaces.push_back(std::move(place));
        state.placesNamed = output.placesNamed;
        if (output.progress)
            state.stats = output.stats;
        if (state.recordsLeftOut != 0) {
            setStatusText(state, recordsLeftOutText(state.recordsLeftOut));
        } else if (output.progress && state.scanning && !state.cancelRequested.load() &&
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
    // The volumes are named from the worker's answers: asking again here would
    // hold the window while an offline share times out.
    streamscan::FileSystem& answers =
        state.scanFileSystem ? *state.scanFileSystem : *state.fileSystem;
    const ScanEndExplanation explanation =
        scanEndExplanation(state.stats, !state.rows.rowOrder.empty(), state.lastRoots, answers);
    if (explanation.box != ScanEndBox::none)
        showMessageBox(state, explanation.text, MB_ICONWARNING | MB_OK);
}

}  // namespace

void startScan(MainWindowState& state, const std::vector<std::u16string>& locations) {
    if (locations.empty())
        return;
    if (state.scanning) {
        showMessageBox(state, kScanAlreadyRunningText, MB_ICONINFORMATION | MB_OK);
        return;
    }
    if (workerBusy(state)) {
        showMessageBox(state, kRemovalRunningText, MB_ICONINFORMATION | MB_OK);
        return;
    }
    // `locations` may be lastRoots itself; everything below works on the copy.
    PreparedRoots prepared = prepareRoots(locations, *state.fileSystem);

    auto start = std::make_unique<WorkerStart>();
    start->job.roots = prepared.roots;
    start->job.options = state.scanOptions;
    start->handOver = &state.handOver;
    start->cancelRequested = &state.cancelRequested;
    state.scanFileSystem = std::make_unique<VolumeMemo>(*state.fileSystem);
    start->fileSystem = state.scanFileSystem.get();

    state.lastRoots = std::move(prepared.roots);
    clearResults(state);
    state.stats = streamscan::ScanStats{};
    state.notExaminedPlaces.clear();
    state.placesNamed = 0;
    state.scanEnded = false;
    state.recordsLeftOut = 0;
    state.duplicateRoots = prepared.duplicates;
    state.nestedRoots = prepared.nested;
    state.cancelRequested.exchange(false);
    state.handOver.reset();

    // The timer comes first: a scan whose end no tick would notice could only
    // be ended by closing the window.
    const bool timerStarted =
        state.setTimer(state.window, kScanTimerId, kScanTimerIntervalMs, nullptr) != 0;
    HANDLE thread = timerStarted ? startWorkerThread(state, start.get()) : nullptr;
    if (thread == nullptr) {
        if (timerStarted)
            KillTimer(state.window, kScanTimerId);
        start.reset();
        setStatusText(state, kScanNotStartedText);
        refreshAfterStateChange(state);
        showMessageBox(state, timerStarted ? kScanNotStartedBoxText : kNoTimerBoxText,
                       MB_ICONERROR | MB_OK);
        return;
    }
    start.release();  // the worker owns it now
    state.scanThread.reset(thread);
    state.scanning = true;

    setStatusText(state, scanStartText(state.lastRoots, state.duplicateRoots, state.nestedRoots));
    refreshAfterStateChange(state);
}

void onScanTimer(MainWindowState& state) {
    // A tick that was already queued when the scan ended finds nothing to do.
    if (!state.scanning)
        return;
    const bool workerEnded =
        state.scanThread && WaitForSingleObject(state.scanThread.get(), 0) == WAIT_OBJECT_0;
    drainPending(state);
    // While the window is closing, the close handler ends the scan itself.
    if (workerEnded && !state.closing)
        endScan(state, true);
}

void endScan(MainWindowState& state, bool explain) {
    if (state.window != nullptr)
        KillTimer(state.window, kScanTimerId);
    if (state.scanThread) {
        WaitForSingleObject(state.scanThread.get(), INFINITE);
        state.scanThread.reset();
    }
    if (state.scanFileSystem)
        state.scanFileSystem->stopRecording();
    drainPending(state);  // the last records and the final counters
    state.scanning = false;
    state.scanEnded = true;
    if (state.sortColumn >= 0)
        sortRows(state, state.sortColumn, false);

    std::u16string endText = scanEndText(state.stats, state.duplicateRoots, state.nestedRoots);
    if (state.recordsLeftOut != 0)
        endText += u" " + recordsLeftOutText(state.recordsLeftOut);
    setStatusText(state, endText);
    refreshAfterStateChange(state);
    if (state.listView != nullptr)
        InvalidateRect(state.listView, nullptr, TRUE);
    if (explain)
        explainScanEnd(state);
}

}  // namespace tessalin
