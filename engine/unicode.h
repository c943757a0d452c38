// UTF-8 and UTF-16 conversions shared by every platform, and the ASCII-only
// letter-case folding that every comparison against a fixed name uses.
#pragma once

#include <string>
#include <string_view>

namespace streamscan {

// Strict UTF-8: rejects exactly what MultiByteToWideChar(CP_UTF8,
// MB_ERR_INVALID_CHARS) rejects (overlong forms, encoded surrogates, values above
// U+10FFFF, truncated sequences, stray continuation bytes). On success `out`
// holds the UTF-16 text; on failure it is left empty and false is returned.
bool decodeUtf8Strict(std::string_view bytes, std::u16string& out);

// Lossless reading of a Linux name: valid UTF-8 is decoded, every other byte b
// becomes the lone surrogate U+DC00 + b (b >= 0x80). encodeName reverses it, so
// encodeName(decodeName(x)) == x for any bytes x.
std::u16string decodeName(std::string_view bytes);
std::string encodeName(std::u16string_view name);

// UTF-8 for showing text: valid pairs are encoded, and a lone surrogate is
// written as its marker <U+DCxx>, so nothing is hidden or mangled.
std::string utf8ForDisplay(std::u16string_view text);

// Plain UTF-8 of ASCII-only text, and the widening of ASCII text.
std::u16string widenAscii(std::string_view ascii);

// Folds only A-Z to a-z.
char16_t asciiLower(char16_t c);
// Whole-string equality that folds only A-Z, code unit by code unit.
bool equalsAsciiNoCase(std::u16string_view a, std::u16string_view b);

}  // namespace streamscan
