// Saving the selected streams (command 1108): a folder dialog, then the
// shared copy-and-manifest engine on a worker while the status line counts,
// and a box at the end that offers to open the folder. The texts come from
// save_texts.
#include <windows.h>
#include <shlobj.h>

#include <new>
#include <vector>

#include "engine/output_target.h"
#include "window/command_ids.h"
#include "window/save_texts.h"
#include "window/win32/main_window.h"
#include "window/win32/text_cast.h"

namespace tessalin {
namespace {

constexpr DWORD kFolderPathChars = 32768;

// What the worker thread is given; it owns this from the moment it starts.
struct SaveStart {
    SaveRun* run;
    streamscan::FileSystem* fileSystem;
};

// Each stream begins only while no cancel was asked; the manifest then says
// the run is incomplete.
void runSave(SaveRun& run, streamscan::FileSystem& fs) {
    const std::atomic<bool>& cancel = run.worker.cancelFlag();
    try {
        run.failure = run.content.start();
        if (!run.failure.empty())
            return;
        for (const streamscan::StreamRecord& record : run.records) {
            if (cancel.load())
                break;
            run.reached.fetch_add(1);
            run.content.take(record, fs);
        }
        run.failure = run.content.finish(run.reached.load() < run.records.size());
    } catch (const std::bad_alloc&) {
        run.failure = u"There was not enough memory to save the streams.";
        run.content.finish(true);
    }
}

unsigned __stdcall saveWorker(void* parameter) {
    const std::unique_ptr<SaveStart> start(static_cast<SaveStart*>(parameter));
    runSave(*start->run, *start->fileSystem);
    return 0;
}

// The folder the user chose; empty when the dialog was cancelled.
std::u16string askForFolder(MainWindowState& state) {
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = state.window;
    info.pszDisplayName = displayName;
    info.lpszTitle = wideText(kSaveFolderDialogTitle);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    auto* item = static_cast<PIDLIST_ABSOLUTE>(state.ui->browseForFolder(&info));
    if (item == nullptr)
        return {};
    std::vector<wchar_t> path(kFolderPathChars, L'\0');
    const BOOL hasPath = SHGetPathFromIDListEx(item, path.data(), kFolderPathChars, GPFIDL_DEFAULT);
    CoTaskMemFree(item);
    return hasPath ? fromWide(path.data()) : std::u16string();
}

// The scan's roots by identity: no copy may land inside the tree it came from.
std::vector<ScannedRoot> scannedRoots(MainWindowState& state) {
    std::vector<ScannedRoot> roots;
    for (const std::u16string& root : state.scan.roots)
        roots.push_back({streamscan::resolvedIdentity(root, *state.fileSystem), root});
    return roots;
}

void showSaveProgress(MainWindowState& state) {
    // "Cancelling..." stays until the run has ended.
    if (!state.save->worker.cancelling())
        setStatusText(state,
                      saveProgressText(state.save->reached.load(), state.save->records.size()));
    refreshStatusBar(state);
}

}  // namespace

void saveSelectedStreams(MainWindowState& state) {
    if (workerBusy(state))
        return;
    try {
        auto run = std::make_unique<SaveRun>();
        for (const std::uint64_t index :
             streamRowsToSave(state.rows.records, selectedRecordIndices(state)))
            run->records.push_back(state.rows.records[static_cast<std::size_t>(index)]);
        if (run->records.empty()) {
            showMessageBox(state, kSelectStreamsToSaveText, MB_OK | MB_ICONINFORMATION);
            return;
        }
        run->path = askForFolder(state);
        // A drop while the dialog was open may have started a scan meanwhile.
        if (run->path.empty() || workerBusy(state))
            return;
        const std::u16string refusal = run->folder.open(run->path, scannedRoots(state));
        if (!refusal.empty()) {
            showMessageBox(state, saveFailedMessage(run->path, refusal));
            return;
        }
        if (state.setTimer(state.window, kSaveTimerId, kScanTimerIntervalMs, nullptr) != 0) {
            auto start = std::make_unique<SaveStart>(SaveStart{run.get(), state.fileSystem});
            if (run->worker.start(saveWorker, start.get(), state.startWorker)) {
                start.release();  // the worker owns it now
                state.save = std::move(run);
                showSaveProgress(state);
                updateCommandStates(state);
                return;
            }
            KillTimer(state.window, kSaveTimerId);
        }
        // No timer or thread to be had: the copies are made here, all the same.
        runSave(*run, *state.fileSystem);
        state.save = std::move(run);
        endSave(state, true);
    } catch (const std::bad_alloc&) {
        setStatusText(state, u"There was not enough memory to save the streams.");
        refreshStatusBar(state);
    }
}

void onSaveTimer(MainWindowState& state) {
    if (!state.save)
        return;
    // While the window is closing, the close handler ends the run itself.
    if (state.save->worker.returned() && !state.closing) {
        endSave(state, true);
        return;
    }
    showSaveProgress(state);
}

void endSave(MainWindowState& state, bool showBox) {
    if (!state.save)
        return;
    if (state.window != nullptr)
        KillTimer(state.window, kSaveTimerId);
    state.save->worker.join();
    const std::unique_ptr<SaveRun> run = std::move(state.save);
    const SaveOutcome outcome{run->content.copied(),
                              run->content.notRead() + run->content.notWritten(),
                              run->records.size() - run->reached.load()};
    setStatusText(state, run->failure.empty() ? savedStatusText(outcome.saved)
                                              : std::u16string(u"The streams could not be saved."));
    updateCommandStates(state);
    refreshStatusBar(state);
    if (!showBox)
        return;
    if (!run->failure.empty()) {
        showMessageBox(state, saveFailedMessage(run->path, run->failure));
        return;
    }
    if (showMessageBox(state, savedMessage(outcome, run->path)) == IDYES)
        state.ui->shellExecute(state.window, u"open", run->path, {}, SW_SHOWNORMAL);
}

}  // namespace tessalin
