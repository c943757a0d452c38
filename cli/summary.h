// What tessalin-scan says after the rows, and the exit status a script reads.
// The words are the window's: its end-of-scan status line, the status bar's
// count parts, the empty list's text and the end-of-scan explanation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"

namespace tessalin::cli {

inline constexpr int kExitFlagged = 1;
inline constexpr int kExitNotExamined = 2;
inline constexpr int kExitRemovalFailed = 4;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitInternal = 70;
inline constexpr int kExitInterrupted = 130;

// What the scan produced, gathered while its rows went out.
struct ScanOutcome {
    streamscan::ScanStats stats;
    std::uint64_t rows = 0;        // every row shown, item rows included
    std::uint64_t streamRows = 0;  // shown rows with a stream name
    // A row had severity Notice or Alert, shown or not: a filter narrows the
    // rows, never the verdict.
    bool flagged = false;
    std::uint64_t filteredOut = 0;  // rows the filters left out
    bool filtered = false;          // a filter was asked for
    bool deletedListed = false;     // deleted items were asked for
    std::uint64_t deletedStreamRows = 0;
    std::uint64_t orphans = 0;  // items listed under $OrphanFiles
};

// Whether the scan left anything unexamined: exactly when the not-examined
// summary is not "Nothing was skipped".
bool somethingNotExamined(const streamscan::ScanStats& stats);

// Bits 1 and 2 from the scan; bit 4 from the removal.
int exitStatus(const ScanOutcome& outcome, bool removalFailed);

// The line that names one place the scan did not examine, on standard error
// as it is found: the program, the escaped path and the reason, "\n"-ended.
std::u16string notExaminedPlaceLine(const streamscan::NotExaminedPlace& place);

// The summary, already escaped, lines ended by "\n": the end-of-scan line with
// the root-list note, the counts, the streams listed, what was not examined; the
// empty list's text when no row was listed; then, after an empty line, the
// explanation the window would show in a box. The not-examined line points at
// the places named on standard error. `roots` are the prepared roots,
// whose volumes are asked again through `fs` for the explanation.
std::u16string summaryText(const ScanOutcome& outcome, const std::vector<std::u16string>& roots,
                           std::uint64_t duplicates, std::uint64_t nested,
                           streamscan::FileSystem& fs);

}  // namespace tessalin::cli
