// Removal on Linux of the stream a row showed, reached by identity: from the
// scan root one name at a time without following a link, through descriptors
// only, so neither a link swapped in on the way nor a path longer than
// PATH_MAX can send it anywhere else.
#pragma once

#include <cstdint>

#include "engine/file_system.h"

namespace streamscan {

// 0, kErrorItemChanged when the root, a folder on the way or the host is not
// what the scan listed, or the error of the step that failed.
std::uint32_t removeListedStreamByDescriptors(const RemovalTarget& target);

}  // namespace streamscan
