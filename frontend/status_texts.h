// The words of the status bar's count parts and of a scan that listed nothing.
// The window and the console scanner both say them through these functions, so
// they read the same everywhere. Plain logic: the caller gathers the state it
// reads. What the window alone says is in window/status_texts.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/scan_types.h"

namespace tessalin {

// What the status texts read of the window's state.
struct StatusState {
    bool scanning = false;
    bool scanEnded = false;  // a scan has ended since start-up (false while a new one runs)
    streamscan::ScanStats stats;
    std::uint64_t streamRowCount = 0;
    std::uint64_t removedStreamCount = 0;
    bool listEmpty = true;
};

// Counters exist to show once a scan has started.
inline bool isScanKnown(const StatusState& state) {
    return state.scanning || state.scanEnded;
}

// The one-line summary of what a scan did not examine ("Nothing was skipped",
// "⚠ Not examined: 3 denied, 1 links skipped", ...); empty when no scan is known.
std::u16string notExaminedSummary(const streamscan::ScanStats& stats, bool scanKnown);

// Status-bar part 1: "204 files, 87 folders, 5 with streams"; empty before a scan.
std::u16string scanCountsText(const StatusState& state);
// Status-bar part 2: "12 streams listed"; empty before a scan.
std::u16string streamsListedText(const StatusState& state);
// What an ended scan that listed nothing means, by the first rule that holds.
std::u16string emptyResultText(const streamscan::ScanStats& stats);

}  // namespace tessalin
