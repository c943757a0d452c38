// The details of one row, shown on a double-click in an information box. The
// text comes from details_text. The stream's SHA-256 is read when the view
// opens: at once for a small stream, on a worker for a large one, with the box
// following when the worker is done, so the window never waits on a disk.
#include <windows.h>

#include <new>

#include "window/command_ids.h"
#include "window/details_text.h"
#include "window/win32/main_window.h"

namespace tessalin {
namespace {

constexpr std::u16string_view kReadingDigestText = u"Reading the stream for its SHA-256\u2026";

unsigned __stdcall digestWorker(void* parameter) {
    auto& run = *static_cast<DigestRun*>(parameter);
    try {
        run.digest = streamDigestText(*run.fileSystem, run.record, &run.worker.cancelFlag());
    } catch (const std::bad_alloc&) {
        run.digest.clear();
    }
    return 0;
}

void showDetailsBox(MainWindowState& state, const streamscan::StreamRecord& record,
                    std::u16string_view digest) {
    // The record's paths are in the style of the file system it came from.
    showMessageBox(state, detailsMessage(record, state.fileSystem->pathStyle(), digest));
}

// True when the worker took the reading over.
bool startDigestWorker(MainWindowState& state, const streamscan::StreamRecord& record) {
    auto run = std::make_unique<DigestRun>();
    run->record = record;
    run->fileSystem = state.fileSystem;
    if (state.setTimer(state.window, kDigestTimerId, kScanTimerIntervalMs, nullptr) == 0)
        return false;
    if (!run->worker.start(digestWorker, run.get(), state.startWorker)) {
        KillTimer(state.window, kDigestTimerId);
        return false;
    }
    state.digest = std::move(run);
    setStatusText(state, kReadingDigestText);
    refreshStatusBar(state);
    return true;
}

}  // namespace

void showDetails(MainWindowState& state, const streamscan::StreamRecord& record) {
    try {
        if (state.digest)
            return;  // one view at a time; the one being read opens soon
        const bool large = record.streamSize > kDigestOnWorkerAbove || record.streamSizeAtLeast;
        if (!record.streamName.empty() && large && startDigestWorker(state, record))
            return;
        showDetailsBox(state, record, streamDigestText(*state.fileSystem, record));
    } catch (const std::bad_alloc&) {
        // Without memory for the text there is nothing to show; the list is unchanged.
    }
}

void onDigestTimer(MainWindowState& state) {
    if (!state.digest || !state.digest->worker.returned())
        return;
    endDigest(state, true);
}

void endDigest(MainWindowState& state, bool show) {
    if (!state.digest)
        return;
    if (state.window != nullptr)
        KillTimer(state.window, kDigestTimerId);
    if (!show)
        state.digest->worker.cancel();
    state.digest->worker.join();
    const std::unique_ptr<DigestRun> run = std::move(state.digest);
    if (!show)
        return;
    try {
        setStatusText(state, u"");
        refreshStatusBar(state);
        showDetailsBox(state, run->record, run->digest);
    } catch (const std::bad_alloc&) {
        // As above: nothing to show.
    }
}

}  // namespace tessalin
