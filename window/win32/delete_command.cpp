// Removing the selected streams (command 1101): the selection becomes a plan,
// the user is asked once, the removal engine runs, and the rows of the streams
// that went leave the list. What is shown and decided comes from delete_plan.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "engine/removal.h"
#include "engine/value_text.h"
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
// cases without a selection.
void reportRemoval(MainWindowState& state, const DeletePlan& plan,
                   const streamscan::RemovalResult& result) {
    state.removedStreamCount += result.removedCount;
    bool rowsDropped = false;
    try {
        const DeleteAftermath aftermath =
            applyRemovalResult(plan, result, state.rows.records.size());
        // Before the box, so the list behind it no longer shows what is gone.
        removeRecords(state, aftermath.removedMask);
        rowsDropped = true;
        showMessageBox(state, removalResultMessage(result, aftermath.failureLines));
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
        plan = planDelete(state.rows.records, selected, state.fileSystem->pathStyle());
        if (plan.targets.empty()) {
            showMessageBox(state, nothingRemovableMessage(plan));
            return;
        }
        // A drop during the question may have started a scan meanwhile.
        if (showMessageBox(state, confirmationMessage(plan)) != IDYES || state.scanning)
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
