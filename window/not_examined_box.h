// The box of Stream > Not Examined...: the places the last scan did not examine.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/scan_types.h"
#include "frontend/message_box_style.h"

namespace tessalin {

// One escaped line per kept place, then a line counting the places named but
// not kept (`placesNamed` counts all of them).
BoxMessage notExaminedBoxMessage(const std::vector<streamscan::NotExaminedPlace>& places,
                                 std::uint64_t placesNamed);

}  // namespace tessalin
