// The Windows attributes a Samba share keeps for an item in user.DOSATTRIB: the
// old text form ("0x22") or the binary xattr_DosAttrib layouts, versions 1 to 5,
// as Samba's public documentation describes them. On a share's folder Hidden,
// System and Read-only live there, not in the mode bits.
#pragma once

#include <cstdint>
#include <string_view>

namespace streamscan {

inline constexpr const char* kDosAttributesName = "user.DOSATTRIB";

// The attribute bits the value holds; false when it is in no form this reads.
bool parseDosAttributes(std::string_view value, std::uint32_t& attributes);

}  // namespace streamscan
