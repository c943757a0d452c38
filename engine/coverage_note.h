// The lines that end a report when the scan left something unexamined, so a
// short report never reads as a clean one.
#pragma once

#include <string>

#include "engine/scan_types.h"

namespace streamscan {

// Empty, or an empty line and then lines ended by \r\n.
std::u16string coverageNote(const ScanStats& stats);

}  // namespace streamscan
