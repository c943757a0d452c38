// What a listing says of an NTFS item, from what its records hold: one rule for
// the library's folder walk and the one-pass index alike.
#pragma once

#include <cstdint>

#include "engine/file_system.h"
#include "engine/image/mft_record.h"

namespace streamscan {

// The facts of an item. `standard` is null when its record has no
// $STANDARD_INFORMATION: its last write is then `fallbackWrite` (a FILETIME).
// `size` is the unnamed stream's.
ItemFacts itemFactsOf(bool folder, const mft::StandardInformation* standard,
                      std::uint64_t fallbackWrite, std::uint64_t size);

// The record's identity and times. `nameTimes` are those of the $FILE_NAME the
// item was listed under; null when there is none.
ItemDetails recordDetails(std::uint64_t entry, std::uint16_t sequence,
                          const mft::StandardInformation* standard, const mft::Times* nameTimes);

}  // namespace streamscan
