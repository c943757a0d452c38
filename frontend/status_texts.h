// The words of the status bar's count parts and of the empty list. The window
// and the console scanner both say them through these functions, so they read
// the same everywhere. Plain logic: the caller gathers the state it reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/scan_types.h"

namespace tessalin {

inline constexpr std::u16string_view kReadyText =
    u"Ready. Drop a folder onto the list, or use File > Scan Folder.";
inline constexpr std::u16string_view kNothingScannedYetText =
    u"Nothing has been scanned yet - choose a folder or drop one here.";
inline constexpr std::u16string_view kNextScanText =
    u"That applies to the next scan - press F5 to run it again.";
inline constexpr std::u16string_view kNotEnoughMemoryToSortText =
    u"There was not enough memory to sort the list.";

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
// The text painted over the list while it has no rows, by the first rule that holds.
std::u16string emptyListText(const StatusState& state);

}  // namespace tessalin
