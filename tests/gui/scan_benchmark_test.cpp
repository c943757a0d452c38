// A benchmark, not a test: a scan that delivers 200,000 records while the
// window runs, timing every tick of the scan timer. Run with
// --gtest_also_run_disabled_tests --gtest_filter=*ScanBenchmark*.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "gui/scan_driving.h"
#include "window/command_ids.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

std::u16string number(int n) {
    return fromWide(std::to_wstring(n).c_str());
}

TEST_F(ScanWindowTest, DISABLED_ScanBenchmarkOf200000Records) {
    constexpr int kFolders = 400;
    constexpr int kFilesPerFolder = 250;  // two streams each
    const auto buildStart = Clock::now();
    fs.addVolume(u"C:\\", u"NTFS", true);
    for (int f = 0; f < kFolders; ++f) {
        const std::u16string folder = u"C:\\bench\\folder" + number(f);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            const std::u16string name = u"download-" + number(i);
            const std::u16string path = folder + u"\\" + name + u".zip";
            fs.addFile(path, "PK");
            fs.addStream(path, u"Zone.Identifier",
                         "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.com/d/x.zip\r\n");
            fs.addStream(path, u"notes", "n");
        }
    }
    const std::size_t expected = std::size_t{kFolders} * kFilesPerFolder * 2;
    std::printf("tree of %zu streams built in %.0f ms\n", expected,
                millisecondsBetween(buildStart, Clock::now()));

    const auto scanStart = Clock::now();
    startScan(*state, {u"C:\\bench"});
    double longestDrain = 0;
    double longestGap = 0;
    double totalDrain = 0;
    double endTick = 0;
    std::size_t ticks = 0;
    std::size_t rowsAtLongestDrain = 0;
    Clock::time_point lastTick{};
    const auto deadline = scanStart + std::chrono::minutes(10);
    while (state->scanning && Clock::now() < deadline) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const bool scanTick = message.message == WM_TIMER && message.hwnd == state->window &&
                                  message.wParam == kScanTimerId;
            if (!scanTick) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
                continue;
            }
            const auto start = Clock::now();
            if (ticks > 0)
                longestGap = std::max(longestGap, millisecondsBetween(lastTick, start));
            lastTick = start;
            const bool ending = WaitForSingleObject(state->scanThread.get(), 0) == WAIT_OBJECT_0;
            DispatchMessageW(&message);
            const double drain = millisecondsBetween(start, Clock::now());
            ++ticks;
            totalDrain += drain;
            if (ending) {
                endTick = drain;  // the join, the last drain and the end texts
            } else if (drain > longestDrain) {
                longestDrain = drain;
                rowsAtLongestDrain = state->rows.rowOrder.size();
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    const double total = millisecondsBetween(scanStart, Clock::now());
    ASSERT_FALSE(state->scanning) << "the scan did not end within ten minutes";
    EXPECT_EQ(state->rows.rowOrder.size(), expected);
    EXPECT_EQ(itemCount(state->listView), static_cast<int>(expected));
    EXPECT_TRUE(dialogs.boxes.empty());

    std::printf("scan of %zu records: %.0f ms, %zu ticks\n", state->rows.rowOrder.size(), total,
                ticks);
    std::printf("longest drain: %.1f ms (list at %zu rows), mean %.1f ms, end tick %.1f ms\n",
                longestDrain, rowsAtLongestDrain, ticks ? totalDrain / ticks : 0.0, endTick);
    std::printf("longest gap between ticks: %.1f ms (timer every %u ms)\n", longestGap,
                kScanTimerIntervalMs);
}

}  // namespace
}  // namespace tessalin::gui
