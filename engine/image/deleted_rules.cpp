#include "engine/image/deleted_rules.h"

#include "engine/unicode.h"

namespace streamscan {

bool stillDescribes(std::uint16_t recordSequence, std::uint16_t namedSequence, bool freed) {
    return recordSequence == namedSequence ||
           (freed && recordSequence == static_cast<std::uint16_t>(namedSequence + 1));
}

std::u16string deletedName(const std::u16string& name, std::uint64_t record, std::uint32_t copy) {
    std::u16string text = name + u" (deleted, record " + widenAscii(std::to_string(record));
    if (copy > 1) {
        text += u", " + widenAscii(std::to_string(copy));
    }
    return text + u")";
}

}  // namespace streamscan
