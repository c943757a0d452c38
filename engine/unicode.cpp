#include "engine/unicode.h"

#include <cstdint>

namespace streamscan {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at bytes[i], and its code point; 0 when
// the bytes there do not start a valid, complete, shortest-form sequence.
std::size_t validSequence(std::string_view bytes, std::size_t i, char32_t& cp) {
    const auto byteAt = [&](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
    const std::uint8_t b0 = byteAt(i);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t length;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0)
            low = 0xA0;  // overlong
        if (b0 == 0xED)
            high = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0)
            low = 0x90;  // overlong
        if (b0 == 0xF4)
            high = 0x8F;  // above U+10FFFF
    } else {
        return 0;  // stray continuation, C0/C1 overlong lead, F5-FF
    }
    if (bytes.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const std::uint8_t b = byteAt(i + k);
        const std::uint8_t lo = k == 1 ? low : 0x80;
        const std::uint8_t hi = k == 1 ? high : 0xBF;
        if (b < lo || b > hi)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    return length;
}

void appendCodePoint(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Walks UTF-16 text by code point; `lone` receives each unpaired surrogate.
template <typename Whole, typename Lone>
void forEachCodePoint(std::u16string_view text, Whole whole, Lone lone) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            whole(0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            lone(c);
        } else {
            whole(c);
        }
    }
}

}  // namespace

bool decodeUtf8Strict(std::string_view bytes, std::u16string& out) {
    out.clear();
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const std::size_t length = validSequence(bytes, i, cp);
        if (length == 0) {
            out.clear();
            return false;
        }
        appendCodePoint(out, cp);
        i += length;
    }
    return true;
}

std::u16string decodeName(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const std::size_t length = validSequence(bytes, i, cp);
        if (length == 0) {
            out.push_back(static_cast<char16_t>(kEscapeBase + static_cast<std::uint8_t>(bytes[i])));
            ++i;
        } else {
            appendCodePoint(out, cp);
            i += length;
        }
    }
    return out;
}

std::string encodeName(std::u16string_view name) {
    std::string out;
    out.reserve(name.size());
    forEachCodePoint(
        name, [&](char32_t cp) { appendUtf8(out, cp); },
        [&](char16_t c) {
            if (c >= 0xDC80 && c <= 0xDCFF) {
                out.push_back(static_cast<char>(c - kEscapeBase));
            } else {
                appendUtf8(out, c);  // cannot come from decodeName; kept as its own bytes
            }
        });
    return out;
}

std::string utf8ForDisplay(std::u16string_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    forEachCodePoint(
        text, [&](char32_t cp) { appendUtf8(out, cp); },
        [&](char16_t c) {
            out += "<U+";
            for (int shift = 12; shift >= 0; shift -= 4)
                out.push_back(kDigits[(c >> shift) & 0xF]);
            out.push_back('>');
        });
    return out;
}

std::u16string widenAscii(std::string_view ascii) {
    std::u16string out;
    out.reserve(ascii.size());
    for (char c : ascii)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}

bool equalsAsciiNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

}  // namespace streamscan
