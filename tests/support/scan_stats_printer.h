// Lets gtest show a ScanStats as the designated initializer that would make
// it, so an expected counter set and a failure message read alike.
#pragma once

#include <ostream>

#include "engine/scan_types.h"

namespace streamscan {

void PrintTo(const ScanStats& stats, std::ostream* out);

}  // namespace streamscan
