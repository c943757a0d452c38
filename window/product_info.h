// Facts about the product that more than one place shows.
#pragma once

#include <string_view>

namespace tessalin {

inline constexpr std::u16string_view kProductName = u"Tessalin";
// Opened by Help > About; named in the message when no browser takes it.
inline constexpr std::u16string_view kHomePageUrl = u"https://example.org/tessalin";

}  // namespace tessalin
