// A scan that delivers 200,000 records while the real window runs, timing every
// tick of the scan timer, against the same scan with no window (the engine
// alone, records kept in a vector) in the same run. The tree is in memory, so
// the difference is what the hand-over, the drains and the list cost.
//
// Then it times the filter bar over the whole list.
//
// Run under Wine with a display (as the window tests are):
//   wine build/windows/window_scan_bench.exe [FOLDERS]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "support/fake_file_system.h"
#include "window/command_ids.h"
#include "window/win32/main_window.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

std::u16string number(int n) {
    return streamscan::widenAscii(std::to_string(n));
}

// FOLDERS folders of 250 downloads, each with a Zone.Identifier and a note.
void buildTree(streamscan::FakeFileSystem& fs, int folders) {
    fs.addVolume(u"C:\\", u"NTFS", true);
    for (int f = 0; f < folders; ++f) {
        const std::u16string folder = u"C:\\bench\\folder" + number(f);
        for (int i = 0; i < 250; ++i) {
            const std::u16string path = folder + u"\\download-" + number(i) + u".zip";
            fs.addFile(path, "PK");
            fs.addStream(path, u"Zone.Identifier",
                         "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.com/d/x.zip\r\n");
            fs.addStream(path, u"notes", "n");
        }
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int folders = argc > 1 ? _wtoi(argv[1]) : 400;
    streamscan::FakeFileSystem fs;
    Clock::time_point start = Clock::now();
    buildTree(fs, folders);
    std::printf("tree of %d folders built in %.0f ms\n", folders,
                millisecondsBetween(start, Clock::now()));

    std::vector<streamscan::StreamRecord> alone;
    start = Clock::now();
    streamscan::scanRoots(
        {u"C:\\bench"}, {}, [&](const streamscan::StreamRecord& r) { alone.push_back(r); },
        [] { return true; }, [](const std::u16string&, const streamscan::ScanStats&) {}, fs);
    const double baseline = millisecondsBetween(start, Clock::now());
    std::printf("baseline, the engine alone: %zu records in %.0f ms\n", alone.size(), baseline);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    tessalin::MainWindowState state;
    state.fileSystem = &fs;
    if (!tessalin::registerMainWindowClass(instance) ||
        tessalin::createMainWindow(instance, state) == nullptr) {
        std::fprintf(stderr, "the window could not be created\n");
        return 1;
    }
    ShowWindow(state.window, SW_SHOWNORMAL);

    start = Clock::now();
    tessalin::startScan(state, {u"C:\\bench"});
    double longestDrain = 0, longestGap = 0, totalDrain = 0, endTick = 0;
    std::size_t ticks = 0, rowsAtLongestDrain = 0;
    Clock::time_point lastTick{};
    const auto deadline = start + std::chrono::minutes(10);
    while (state.scan.running && Clock::now() < deadline) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_TIMER || message.hwnd != state.window ||
                message.wParam != tessalin::kScanTimerId) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
                continue;
            }
            const auto tick = Clock::now();
            if (ticks > 0)
                longestGap = std::max(longestGap, millisecondsBetween(lastTick, tick));
            lastTick = tick;
            const bool ending = state.scan.workerReturned();
            DispatchMessageW(&message);
            const double drain = millisecondsBetween(tick, Clock::now());
            ++ticks;
            totalDrain += drain;
            if (ending) {
                endTick = drain;  // the join, the last drain and the end texts
            } else if (drain > longestDrain) {
                longestDrain = drain;
                rowsAtLongestDrain = state.rows.rowOrder.size();
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    const double total = millisecondsBetween(start, Clock::now());
    if (state.scan.running) {  // out of time: the worker must not outlive the state
        state.scan.cancel();
        state.scan.worker.join();
    }
    const bool complete = !state.scan.running && state.rows.rowOrder.size() == alone.size();
    std::printf("in the window: %zu records in %.0f ms (%.1fx the baseline), %zu ticks\n",
                state.rows.rowOrder.size(), total, baseline > 0 ? total / baseline : 0.0, ticks);
    std::printf("longest drain: %.1f ms (list at %zu rows), mean %.1f ms, end tick %.1f ms\n",
                longestDrain, rowsAtLongestDrain, ticks ? totalDrain / ticks : 0.0, endTick);
    std::printf("longest gap between ticks: %.1f ms (timer every %u ms)\n", longestGap,
                tessalin::kScanTimerIntervalMs);
    // The filter bar over the whole list: each change runs the window's own
    // path (the edit's notification, the filter, the list's count, the texts).
    const struct {
        const wchar_t* name;
        bool flagged;
        const char* label;
    } filters[] = {
        {L"notes", false, "name \"notes\""},
        {L"Zone.*", false, "name \"Zone.*\""},
        {L"*x?y*", false, "name \"*x?y*\" (nothing matches)"},
        {L"", true, "flagged only"},
        {L"*", false, "name \"*\""},
        {L"", false, "no filter"},
    };
    HWND nameEdit = state.filterControls[tessalin::kFilterNameId - tessalin::kFilterFirstId];
    HWND flagged = state.filterControls[tessalin::kFilterFlaggedId - tessalin::kFilterFirstId];
    for (const auto& filter : filters) {
        if ((SendMessageW(flagged, BM_GETCHECK, 0, 0) == BST_CHECKED) != filter.flagged)
            SendMessageW(flagged, BM_SETCHECK, filter.flagged ? BST_CHECKED : BST_UNCHECKED, 0);
        start = Clock::now();
        SetWindowTextW(nameEdit, filter.name);
        std::printf("filter of %zu rows, %s: %zu shown, %.1f ms\n", state.rows.records.size(),
                    filter.label, state.rows.rowOrder.size(),
                    millisecondsBetween(start, Clock::now()));
    }
    if (!complete)
        std::fprintf(stderr, "the scan did not end with every record listed\n");
    DestroyWindow(state.window);
    return complete ? 0 : 1;
}
