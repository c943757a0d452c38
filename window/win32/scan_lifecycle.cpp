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

// Moves what the worker handed over into the window: records to the bottom of
// the list, the counters to the status bar, the folder to the status line.
void drainPending(MainWindowState& state) {
    DrainedOutput output = state.handOver.drain();
    const bool hadRecords = !output.records.empty();
    if (hadRecords)
        appendResults(state, std::move(output.records));
    if (output.progress) {
        state.stats = output.stats;
        // "Cancelling..." stays until the scan has ended.
        if (state.scanning && !state.cancelRequested.load() && !output.folder.empty())
            setStatusText(state, scanProgressText(output.folder));
    }
    if (hadRecords || output.progress)
        refreshStatusBar(state);
}

// An empty or short list must not pass for a clean result: when the counters
// say the scan did not see everything, a box says so.
void explainScanEnd(MainWindowState& state) {
    const ScanEndExplanation explanation = scanEndExplanation(state.stats, !state.rowOrder.empty(),
                                                              state.lastRoots, *state.fileSystem);
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
    // `locations` may be lastRoots itself; everything below works on the copy.
    PreparedRoots prepared = prepareRoots(locations, *state.fileSystem);

    auto start = std::make_unique<WorkerStart>();
    start->job.roots = prepared.roots;
    start->job.options = state.scanOptions;
    start->handOver = &state.handOver;
    start->cancelRequested = &state.cancelRequested;
    start->fileSystem = state.fileSystem;

    state.lastRoots = std::move(prepared.roots);
    clearResults(state);
    state.stats = streamscan::ScanStats{};
    state.scanEnded = false;
    state.duplicateRoots = prepared.duplicates;
    state.nestedRoots = prepared.nested;
    state.cancelRequested.exchange(false);
    state.handOver.reset();

    HANDLE thread = startWorkerThread(state, start.get());
    if (thread == nullptr) {
        start.reset();
        setStatusText(state, kScanNotStartedText);
        refreshAfterStateChange(state);
        showMessageBox(state, kScanNotStartedBoxText, MB_ICONERROR | MB_OK);
        return;
    }
    start.release();  // the worker owns it now
    state.scanThread = thread;
    state.scanning = true;
    SetTimer(state.window, kScanTimerId, kScanTimerIntervalMs, nullptr);

    setStatusText(state, scanStartText(state.lastRoots, state.duplicateRoots, state.nestedRoots));
    refreshAfterStateChange(state);
}

void onScanTimer(MainWindowState& state) {
    // A tick that was already queued when the scan ended finds nothing to do.
    if (!state.scanning)
        return;
    const bool workerEnded =
        state.scanThread != nullptr && WaitForSingleObject(state.scanThread, 0) == WAIT_OBJECT_0;
    drainPending(state);
    // While the window is closing, the close handler ends the scan itself.
    if (workerEnded && !state.closing)
        endScan(state, true);
}

void endScan(MainWindowState& state, bool explain) {
    if (state.window != nullptr)
        KillTimer(state.window, kScanTimerId);
    if (state.scanThread != nullptr) {
        WaitForSingleObject(state.scanThread, INFINITE);
        CloseHandle(state.scanThread);
        state.scanThread = nullptr;
    }
    drainPending(state);  // the last records and the final counters
    state.scanning = false;
    state.scanEnded = true;
    if (state.sortColumn >= 0)
        sortRows(state, state.sortColumn, false);

    setStatusText(state, scanEndText(state.stats, state.duplicateRoots, state.nestedRoots));
    refreshAfterStateChange(state);
    if (state.listView != nullptr)
        InvalidateRect(state.listView, nullptr, TRUE);
    if (explain)
        explainScanEnd(state);
}

}  // namespace tessalin
