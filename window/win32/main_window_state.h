// The one set of state that every part of the main window shares, with the
// handles beside it. Window thread only, except where a field says otherwise.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"
#include "window/layout.h"
#include "window/result_rows.h"
#include "window/ui_seam.h"
#include "window/win32/owners.h"
#include "window/win32/scan_session.h"
#include "window/win32/worker_runs.h"

namespace tessalin {

// The system's own dialogs, boxes, clipboard and shell.
UiSeam& systemUiSeam();

struct MainWindowState {
    // The model: the records and the order the list shows them in, what the
    // next scan is asked to do, and what removals took out of the last one.
    ResultRows rows;
    streamscan::ScanOptions scanOptions;
    std::uint64_t removedStreamCount = 0;

    // The workers: the last scan (or the one running), a removal or a save
    // (one worker at a time: never beside a scan), and a digest for the
    // details view beside any of them.
    ScanSession scan;
    std::unique_ptr<RemovalRun> removal;
    std::unique_ptr<SaveRun> save;
    std::unique_ptr<DigestRun> digest;
    bool closing = false;  // WM_CLOSE is waiting for a worker

    // The view: the window, its controls and what they show.
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HWND listView = nullptr;
    HWND statusBar = nullptr;
    HWND buttons[kButtonCount] = {};
    HWND filterControls[kFilterControlCount] = {};
    HMENU menu = nullptr;
    std::uint32_t dpi = 96;  // set at WM_CREATE, changed by WM_DPICHANGED
    OwnedFont listFont;      // made for the DPI; when null, the stock GUI font is used
    ColumnWidths columnWidths{};
    bool columnsSizedByUser = false;
    int sortColumn = -1;
    bool sortAscending = true;
    bool suppressSelectionEvents = false;  // the program itself is changing the selection
    std::u16string statusText;
    std::u16string emptyListText;

    // The seams: what a scan reads and what the user is asked through, how a
    // worker and its timer start. Tests put in fakes, and starters that fail
    // as a system out of threads or timers would.
    streamscan::FileSystem* fileSystem = &streamscan::nativeFileSystem();
    UiSeam* ui = &systemUiSeam();
    WorkerThread::Starter startWorker = nullptr;  // null: the runtime's _beginthreadex
    decltype(&SetTimer) setTimer = &SetTimer;
};

// A scan, a removal or a save has its worker: one at a time.
inline bool workerBusy(const MainWindowState& state) {
    return state.scan.running || state.removal != nullptr || state.save != nullptr;
}

// The worker that runs, if one does.
inline WorkerThread* busyWorker(MainWindowState& state) {
    if (state.removal)
        return &state.removal->worker;
    if (state.save)
        return &state.save->worker;
    return state.scan.running ? &state.scan.worker : nullptr;
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
