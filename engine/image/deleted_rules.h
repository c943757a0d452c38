// How a deleted NTFS item is recognised and named, for the folder walk and the
// one-pass index alike.
#pragma once

#include <cstdint>
#include <string>

namespace streamscan {

// Whether a record whose sequence is `recordSequence` still describes the item
// a reference names with `namedSequence`. NTFS counts the sequence up once when
// it frees a record, so a freed record that no later file took is one on.
bool stillDescribes(std::uint16_t recordSequence, std::uint16_t namedSequence, bool freed);

// The name of an item whose own name another item of its folder holds: a
// deleted one "notes.txt (deleted, record 68)", another "notes.txt (record 68)",
// numbered on should that be taken too (`copy` 2 and on).
std::u16string takenName(const std::u16string& name, std::uint64_t record, std::uint32_t copy,
                         bool deleted);

}  // namespace streamscan
