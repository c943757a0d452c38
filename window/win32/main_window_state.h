// The one set of state that every part of the main window shares, with the
// handles beside it. Window thread only, except where a field says otherwise.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/file_system.h"
#include "engine/removal.h"
#include "engine/scan_types.h"
#include "frontend/delete_plan.h"
#include "frontend/extraction.h"
#include "frontend/output_folder.h"
#include "window/handover.h"
#include "window/layout.h"
#include "window/result_rows.h"
#include "window/ui_seam.h"
#include "window/volume_memo.h"
#include "window/win32/owners.h"

namespace tessalin {

// The system's own dialogs, boxes, clipboard and shell.
UiSeam& systemUiSeam();

// A removal running on its worker. The worker writes `reached` as it goes and
// `result` before it ends; the window reads `result` only after joining it.
struct RemovalRun {
    DeletePlan plan;
    std::atomic<std::uint64_t> reached{0};  // targets begun so far
    streamscan::RemovalResult result;
    OwnedHandle thread;
};

// Streams being saved on a worker: copies of the rows (the list may change
// meanwhile), the folder opened for them and the engine that fills it. The
// worker writes `reached` as it goes and the rest before it ends; the window
// reads them only after joining it.
struct SaveRun {
    std::vector<streamscan::StreamRecord> records;
    std::u16string path;
    OutputFolder folder;
    StreamContent content{&folder};
    std::atomic<std::uint64_t> reached{0};
    std::u16string failure;  // the manifest could not be started or completed
    OwnedHandle thread;
};

// The SHA-256 of a large stream, read on a worker for the details view. The
// worker fills `digest` and ends; the window reads it after joining.
struct DigestRun {
    streamscan::StreamRecord record;
    streamscan::FileSystem* fileSystem = nullptr;
    std::atomic<bool> stop{false};  // set by the window when it closes
    std::u16string digest;
    OwnedHandle thread;
};

struct MainWindowState {
    ResultRows rows;         // the records and the order the list shows them in
    std::uint32_t dpi = 96;  // set at WM_CREATE, changed by WM_DPICHANGED
    streamscan::ScanOptions scanOptions;
    std::u16string statusText;
    std::u16string emptyListText;
    OwnedFont listFont;  // made for the DPI; when null, the stock GUI font is used
    ColumnWidths columnWidths{};
    bool columnsSizedByUser = false;
    bool suppressSelectionEvents = false;  // the program itself is changing the selection

    bool scanning = false;
    bool scanEnded = false;
    bool closing = false;
    std::atomic<bool> cancelRequested{false};  // shared with the worker, which only reads it
    OwnedHandle scanThread;                    // the worker, until endScan has joined it
    // Shared with the worker, under its own lock.
    HandOver handOver;
    streamscan::ScanStats stats;
    std::uint64_t recordsLeftOut = 0;  // records of this scan that found no room in the list
    // The last scan's file system as its worker saw it, with the volume answers
    // it found; made anew at each start, read after the worker has been joined.
    std::unique_ptr<VolumeMemo> scanFileSystem;
    // The places the last scan did not examine, and how many it named.
    std::vector<streamscan::NotExaminedPlace> notExaminedPlaces;
    std::uint64_t placesNamed = 0;
    std::uint64_t removedStreamCount = 0;
    std::vector<std::u16string> lastRoots;
    std::uint64_t duplicateRoots = 0;
    std::uint64_t nestedRoots = 0;
    int sortColumn = -1;
    bool sortAscending = true;

    // Handles beside the state.
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HWND listView = nullptr;
    HWND statusBar = nullptr;
    HWND buttons[kButtonCount] = {};
    HWND filterControls[kFilterControlCount] = {};
    // The removal on its worker (one worker at a time: never beside a scan).
    std::unique_ptr<RemovalRun> removal;
    std::unique_ptr<DigestRun> digest;
    std::unique_ptr<SaveRun> save;
    HMENU menu = nullptr;

    // What a scan reads and what the user is asked through; tests put in fakes.
    streamscan::FileSystem* fileSystem = &streamscan::nativeFileSystem();
    UiSeam* ui = &systemUiSeam();
    // Starts the scan's worker thread; null means the runtime's _beginthreadex.
    // Tests put in one that fails, as a system out of threads would.
    using WorkerStarter = HANDLE (*)(unsigned(__stdcall* body)(void*), void* argument);
    WorkerStarter startWorker = nullptr;
    // Starts the scan's timer; tests put in one that fails.
    decltype(&SetTimer) setTimer = &SetTimer;
};

// A scan, a removal or a save has its worker: one at a time.
inline bool workerBusy(const MainWindowState& state) {
    return state.scanning || state.removal != nullptr || state.save != nullptr;
}

// While it lives, the list's selection notifications are the program's own
// doing and change no command state; it restores the flag it found.
class SelectionEventsSuppressed {
  public:
    explicit SelectionEventsSuppressed(MainWindowState& state)
        : flag(state.suppressSelectionEvents), previous(std::exchange(flag, true)) {}
    ~SelectionEventsSuppressed() { flag = previous; }
    SelectionEventsSuppressed(const SelectionEventsSuppressed&) = delete;
    SelectionEventsSuppressed& operator=(const SelectionEventsSuppressed&) = delete;

  private:
    bool& flag;
    bool previous;
};

}  // namespace tessalin
