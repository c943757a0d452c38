#include "engine/image/deleted_rules.h"

#include "engine/unicode.h"

namespace streamscan {

bool stillDescribes(std::uint16_t recordSequence, std::uint16_t namedSequence, bool freed) {
    return recordSequence == namedSequence ||
           (freed && recordSequence == static_cast<std::uint16_t>(namedSequence + 1));
}

std::u16string takenName(const std::u16string& name, std::uint64_t record, std::uint32_t copy,
                         bool deleted) {
    std::u16string text = name + (deleted ? u" (deleted, record " : u" (record ") +
                          widenAscii(std::to_string(record));
    if (copy > 1) {
        text += u", " + widenAscii(std::to_string(copy));
    }
    return text + u")";
}

}  // namespace streamscan
