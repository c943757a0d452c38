// The one way names are made safe to show: control, bidi and "<U+" code units
// become visible <U+XXXX> markers. One-way; records keep the raw text.
#pragma once

#include <string>
#include <string_view>

namespace streamscan {

std::u16string escapeForDisplay(std::u16string_view text);
// Replaces `out` with the start of the displayed form of `text`: at most `limit`
// code units. Reuses out's room, so a search over many names allocates nothing.
void escapedPrefixInto(std::u16string& out, std::u16string_view text, std::size_t limit);
void appendCodeUnitEscape(std::u16string& out, char16_t c);

}  // namespace streamscan
