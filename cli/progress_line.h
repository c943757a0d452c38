// The self-overwriting progress line on standard error while a scan runs.
// Called on the scanning thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "cli/console.h"
#include "engine/scan_types.h"

namespace tessalin::cli {

// Only drawn when stderr is a terminal, at most ten times a second, and never
// for a scan that is over before the first tenth.
class ProgressLine {
  public:
    explicit ProgressLine(Console& console);

    void update(const std::u16string& folder, const streamscan::ScanStats& stats,
                std::uint64_t streamRows);
    // Says once that the scan is stopping.
    void cancelling();
    // Before a row goes to the same terminal.
    void hide();

  private:
    using Clock = std::chrono::steady_clock;
    void draw(const std::string& line);

    Console& console;
    bool enabled;
    bool saidCancelling = false;
    int drawnWidth = 0;
    Clock::time_point lastDraw;
};

}  // namespace tessalin::cli
