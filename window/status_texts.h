// What the window alone says: its status line at start-up, after a removal and
// when a scan cannot start or is stopped for closing, and the text over the
// empty list. The console never says these (it has no F5, no menu, no list).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frontend/status_texts.h"

namespace tessalin {

inline constexpr std::u16string_view kReadyText =
    u"Ready. Drop a folder onto the list, or use File > Scan Folder.";
inline constexpr std::u16string_view kNothingScannedYetText =
    u"Nothing has been scanned yet - choose a folder or drop one here.";
inline constexpr std::u16string_view kNextScanText =
    u"That applies to the next scan - press F5 to run it again.";
inline constexpr std::u16string_view kNotEnoughMemoryToSortText =
    u"There was not enough memory to sort the list.";

inline constexpr std::u16string_view kCancellingBeforeClosingText =
    u"Cancelling the scan before closing...";
inline constexpr std::u16string_view kScanAlreadyRunningText =
    u"A scan is already running. Cancel it before starting another.";
inline constexpr std::u16string_view kScanNotStartedText = u"The scan could not be started.";
inline constexpr std::u16string_view kScanNotStartedBoxText =
    u"The scan could not be started: this program was unable to create a thread for it.";

// "Removed N streams. Press F5 to scan again."
std::u16string removalStatusText(std::uint32_t removedCount);

// The text painted over the list while it has no rows, by the first rule that holds.
std::u16string emptyListText(const StatusState& state);

}  // namespace tessalin
