// Removing the selected streams (command 1101): the selection becomes a plan,
// the user is asked once, the removal engine runs on a worker while the status
// line counts, and the rows of the streams that went leave the list. What is
// shown and decided comes from delete_plan and removal_progress.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "engine/removal.h"
#include "engine/value_text.h"
#include "frontend/delete_plan.h"
#include "window/status_texts.h"
#include "window/command_ids.h"
#include "window/removal_progress.h"
#include "window/win32/main_window.h"

namespace tessalin {
namespace {

// Nothing has been removed when this is shown.
constexpr std::u16string_view kNoMemoryToPlanText =
    u"There was not enough memory to prepare the removal. Nothing was removed.";

void refreshAfterRemoval(MainWindowState& state) {
    refreshEmptyListText(state);
    updateCommandStates(state);
    refreshStatusBar(state);
}

// What the status line says when the rows of removed streams could not be
// taken out of the list for lack of memory.
std::u16string rowsStayText(std::uint32_t removedCount) {
    return u"Removed " + streamscan::countPhrase(removedCount, u"stream", u"streams") +
           u", but there was not enough memory to take the rows out of the list. Press F5 to "
           u"scan again.";
}

// Steps after RemoveStreams. The streams are gone by now, so the count goes up
// once, whatever follows; running short of memory leaves the list either
// without the removed rows or, honestly said, with all of them, and in both
// cases without a selection. `showBox` is false while the window closes.
void reportRemoval(MainWindowState& state, const DeletePlan& plan,
                   const streamscan::RemovalResult& result, bool cancelled, bool showBox) {
    state.removedStreamCount += result.removedCount;
    bool rowsDropped = false;
    try {
        const RemovalEnd end = removalEnd(plan, result, state.rows.records.size(), cancelled);
        // Before the box, so the list behind it no longer shows what is gone.
        removeRecords(state, end.removedMask);
        rowsDropped = true;
        if (showBox)
            showMessageBox(state, end.box);
    } catch (const std::bad_alloc&) {
        clearSelection(state);
    }
    try {
        setStatusText(state, rowsDropped ? removalStatusText(result.removedCount)
                                         : rowsStayText(result.removedCount));
    } catch (const std::bad_alloc&) {
        // The box, the counts and the list below still tell the truth.
    }
    refreshAfterRemoval(state);
}

// What the worker thread is given; it owns this from the moment it starts.
struct RemovalStart {
    RemovalRun* run;
    streamscan::FileSystem* fileSystem;
};

// Each target begins only while no cancel was asked, so a cancel stops the run
// after the stream being removed.
void runRemoval(RemovalRun& run, streamscan::FileSystem& fs) {
    const std::atomic<bool>& cancel = run.worker.cancelFlag();
    run.result = streamscan::RemoveStreams(run.plan.targets, fs, [&] {
        if (cancel.load())
            return false;
        run.reached.fetch_add(1);
        return true;
    });
}

unsigned __stdcall removalWorker(void* parameter) {
    const std::unique_ptr<RemovalStart> start(static_cast<RemovalStart*>(parameter));
    runRemoval(*start->run, *start->fileSystem);
    return 0;
}

void showRemovalProgress(MainWindowState& state) {
    const RemovalRun& run = *state.removal;
    // "Cancelling..." stays until the run has ended.
    if (!run.worker.cancelling())
        setStatusText(state, removalProgressText(run.reached.load(), run.plan.targets.size()));
    refreshStatusBar(state);
}

// Removes on a worker with the status line counting; where no timer or thread
// can be had, on the window's thread as a last resort, which still removes
// exactly what was confirmed.
void startRemoval(MainWindowState& state, DeletePlan&& plan) {
    auto run = std::make_unique<RemovalRun>();
    run->plan = std::move(plan);
    if (state.setTimer(state.window, kRemovalTimerId, kScanTimerIntervalMs, nullptr) != 0) {
        auto start = std::make_unique<RemovalStart>(RemovalStart{run.get(), state.fileSystem});
        if (run->worker.start(removalWorker, start.get(), state.startWorker)) {
            start.release();  // the worker owns it now
            state.removal = std::move(run);
            showRemovalProgress(state);
            updateCommandStates(state);
            return;
        }
        KillTimer(state.window, kRemovalTimerId);
    }
    runRemoval(*run, *state.fileSystem);
    reportRemoval(state, run->plan, run->result, false, true);
}

}  // namespace

std::vector<std::uint64_t> selectedRecordIndices(const MainWindowState& state) {
    std::vector<std::uint64_t> indices;
    for (const int row : selectedRows(state)) {
        if (row >= 0 && static_cast<std::uint64_t>(row) < state.rows.rowOrder.size())
            indices.push_back(state.rows.rowOrder[static_cast<std::size_t>(row)]);
    }
    return indices;
}

void DeleteSelectedStreams(MainWindowState& state) {
    if (workerBusy(state))
        return;
    DeletePlan plan;
    try {
        const std::vector<std::uint64_t> selected = selectedRecordIndices(state);
        if (selected.empty()) {
            showMessageBox(state, kSelectStreamsFirstText, MB_OK | MB_ICONINFORMATION);
            return;
        }
        // The records name their paths in the style of the file system they came from.
        plan = planDelete(state.rows.records, selected, state.fileSystem->pathStyle());
        if (plan.targets.empty()) {
            showMessageBox(state, nothingRemovableMessage(plan));
            return;
        }
        // A drop during the question may have started a scan meanwhile.
        if (showMessageBox(state, confirmationMessage(plan)) != IDYES || state.scan.running)
            return;
        startRemoval(state, std::move(plan));
    } catch (const std::bad_alloc&) {
        setStatusText(state, kNoMemoryToPlanText);
        refreshStatusBar(state);
    }
}

void onRemovalTimer(MainWindowState& state) {
    if (!state.removal)
        return;
    // While the window is closing, the close handler ends the removal itself.
    if (state.removal->worker.returned() && !state.closing) {
        endRemoval(state, true);
        return;
    }
    showRemovalProgress(state);
}

void endRemoval(MainWindowState& state, bool showBox) {
    if (!state.removal)
        return;
    if (state.window != nullptr)
        KillTimer(state.window, kRemovalTimerId);
    state.removal->worker.join();
    const std::unique_ptr<RemovalRun> run = std::move(state.removal);
    const bool cancelled =
        run->result.outcomes.size() < run->plan.targets.size() && run->worker.cancelling();
    reportRemoval(state, run->plan, run->result, cancelled, showBox);
}

}  // namespace tessalin
