// Gives every row its severity and note by a fixed, ordered rule list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/scan_types.h"

namespace streamscan {

inline constexpr std::uint32_t kSeverityNone = 0;
inline constexpr std::uint32_t kSeverityNotice = 1;
inline constexpr std::uint32_t kSeverityAlert = 2;

// Empties `note` (when given) and fills it with the first rule that applies.
std::uint32_t assessStream(const StreamRecord& record, std::u16string* note,
                           std::uint64_t largeStreamThreshold);
// "Alert", "Notice" or "".
const char16_t* severityName(std::uint32_t severity);
bool hasExecutableExtension(std::u16string_view name);
bool isWellKnownStreamName(std::u16string_view name);

}  // namespace streamscan
