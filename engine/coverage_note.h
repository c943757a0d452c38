// The lines that end a report when the scan left something unexamined, so a
// short report never reads as a clean one.
#pragma once

#include <cstdint>
#include <string>

#include "engine/scan_types.h"

namespace streamscan {

// Empty, or an empty line and then lines ended by \r\n. `rowsFilteredOut`:
// rows the scan found that a filter kept out of the report.
std::u16string coverageNote(const ScanStats& stats, std::uint64_t rowsFilteredOut = 0);

}  // namespace streamscan
