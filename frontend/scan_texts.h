// The words of a scan's life: the status line while it starts, runs and ends,
// and the explanation shown when it ends. The window and the console scanner
// both say them through these functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"

namespace tessalin {

inline constexpr std::u16string_view kScanCompleteText = u"Scan complete.";
inline constexpr std::u16string_view kScanCancelledText =
    u"Scan cancelled - what is listed covers only part of the tree.";
inline constexpr std::u16string_view kCancellingText = u"Cancelling...";

// "Scanning: ROOT" for one root, "Scanning N locations..." for more, then the
// root-list note.
std::u16string scanStartText(const std::vector<std::u16string>& roots, std::uint64_t duplicates,
                             std::uint64_t nested);
// "Scanning: FOLDER" while the worker reports progress (no note).
std::u16string scanProgressText(const std::u16string& folder);
// "Scan complete." or the cancelled text, then the root-list note.
std::u16string scanEndText(const streamscan::ScanStats& stats, std::uint64_t duplicates,
                           std::uint64_t nested);

enum class ScanEndBox {
    none,
    volumeWithoutStreams,  // some roots sit on volumes that cannot hold streams
    emptyResult,           // nothing listed, and the scan did not reach everything
};

struct ScanEndExplanation {
    ScanEndBox box = ScanEndBox::none;
    std::u16string text;  // empty when box is none
};

// Which box, if any, a finished scan needs; decided from the counters and
// whether the list has rows.
ScanEndBox chooseScanEndBox(const streamscan::ScanStats& stats, bool listHasRows);

// The volume message. Each root's volume is asked again through `fs`; roots
// whose volume reports no stream support are named, one per line.
std::u16string volumeMessageText(const streamscan::ScanStats& stats,
                                 const std::vector<std::u16string>& roots,
                                 streamscan::FileSystem& fs);
// The message for an empty list that does not mean clean.
std::u16string emptyResultMessageText(const streamscan::ScanStats& stats);

// The choice and its text together. `roots` are the prepared roots of the scan.
ScanEndExplanation scanEndExplanation(const streamscan::ScanStats& stats, bool listHasRows,
                                      const std::vector<std::u16string>& roots,
                                      streamscan::FileSystem& fs);

}  // namespace tessalin
