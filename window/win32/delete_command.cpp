// Removing the selected streams (command 1101): the selection becomes a plan,
// the user is asked once, the removal engine runs, and the rows of the streams
// that went leave the list. What is shown and decided comes from delete_plan.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "engine/removal.h"
#include "frontend/delete_plan.h"
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

// Steps after RemoveStreams: the list loses the rows of removed streams, the
// counters and texts follow. The streams are gone by now, so running short of
// memory here must still leave the list without any selection and the count
// raised, and say how many were removed.
void reportRemoval(MainWindowState& state, const DeletePlan& plan,
                   const streamscan::RemovalResult& result) {
    try {
        const DeleteAftermath aftermath = applyRemovalResult(plan, result, state.records.size());
        // Before the box, so the list behind it no longer shows what is gone.
        removeRecords(state, aftermath.removedMask);
        state.removedStreamCount += result.removedCount;
        showMessageBox(state, removalResultMessage(result, aftermath.failureLines));
    } catch (const std::bad_alloc&) {
        removeRecords(state, {});
        state.removedStreamCount += result.removedCount;
    }
    setStatusText(state, removalStatusText(result.removedCount));
    refreshAfterRemoval(state);
}

}  // namespace

std::vector<std::uint64_t> selectedRecordIndices(const MainWindowState& state) {
    std::vector<std::uint64_t> indices;
    for (const int row : selectedRows(state)) {
        if (row >= 0 && static_cast<std::uint64_t>(row) < state.rowOrder.size())
            indices.push_back(state.rowOrder[static_cast<std::size_t>(row)]);
    }
    return indices;
}

void DeleteSelectedStreams(MainWindowState& state) {
    if (state.scanning)
        return;
    DeletePlan plan;
    try {
        const std::vector<std::uint64_t> selected = selectedRecordIndices(state);
        if (selected.empty()) {
            showMessageBox(state, kSelectStreamsFirstText, MB_OK | MB_ICONINFORMATION);
            return;
        }
        // The records name their paths in the style of the file system they came from.
        plan = planDelete(state.records, selected, state.fileSystem->pathStyle());
        if (plan.targets.empty()) {
            showMessageBox(state, nothingRemovableMessage(plan));
            return;
        }
        if (showMessageBox(state, confirmationMessage(plan)) != IDYES)
            return;
    } catch (const std::bad_alloc&) {
        setStatusText(state, kNoMemoryToPlanText);
        refreshStatusBar(state);
        return;
    }
    const streamscan::RemovalResult result =
        streamscan::RemoveStreams(plan.targets, *state.fileSystem);
    reportRemoval(state, plan, result);
}

}  // namespace tessalin
