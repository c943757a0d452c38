// Reading Zone.Identifier content: the zone, ZoneId, HostUrl and ReferrerUrl.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/scan_types.h"

namespace streamscan {

// UTF-16LE behind FF FE, else strict UTF-8 (BOM skipped), else Latin-1.
std::u16string decodeStreamText(std::string_view bytes);
// Drops U+0020 and U+0009..U+000D from both ends.
std::u16string trimWhitespace(std::u16string_view text);
ZoneInfo parseZoneIdentifier(std::string_view bytes);
// "Local machine" ... "Restricted sites", else "Unknown".
const char16_t* zoneName(std::uint32_t zone);
// The Zone column's text; empty for a stream that is not Zone.Identifier.
std::u16string zoneText(const ZoneInfo& zone);
// The same for reports, which carry the ZoneId value in a column of its own,
// so an unknown zone reads "Unknown" without the number.
std::u16string reportZoneText(const ZoneInfo& zone);

}  // namespace streamscan
