#include "engine/display_escape.h"

namespace streamscan {
namespace {

// The line and paragraph separators count as controls: many tools end a line there.
bool isControlOrBidi(char16_t c) {
    return c <= 0x001F || (c >= 0x007F && c <= 0x009F) || c == 0x061C || c == 0x200E ||
           c == 0x200F || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

// A "<" that starts "<U+" is escaped too, so every "<U+" in the output is one of
// our own markers and a name cannot pose as an escaped one.
bool needsEscape(std::u16string_view s, std::size_t i) {
    const char16_t c = s[i];
    if (c == u'<')
        return i + 2 < s.size() && s[i + 1] == u'U' && s[i + 2] == u'+';
    return isControlOrBidi(c);
}

}  // namespace

void appendCodeUnitEscape(std::u16string& out, char16_t c) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    out += u"<U+";
    out.push_back(kDigits[(c >> 12) & 0xF]);
    out.push_back(kDigits[(c >> 8) & 0xF]);
    out.push_back(kDigits[(c >> 4) & 0xF]);
    out.push_back(kDigits[c & 0xF]);
    out.push_back(u'>');
}

std::u16string escapeForDisplay(std::u16string_view text) {
    std::size_t first = 0;
    while (first < text.size() && !needsEscape(text, first))
        ++first;
    if (first == text.size())
        return std::u16string(text);

    std::u16string out;
    out.reserve(text.size() + 8);
    out.append(text.substr(0, first));
    for (std::size_t i = first; i < text.size(); ++i) {
        if (needsEscape(text, i)) {
            appendCodeUnitEscape(out, text[i]);
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

void escapedPrefixInto(std::u16string& out, std::u16string_view text, std::size_t limit) {
    out.clear();
    for (std::size_t i = 0; i < text.size() && out.size() < limit; ++i) {
        if (needsEscape(text, i)) {
            appendCodeUnitEscape(out, text[i]);
        } else {
            out.push_back(text[i]);
        }
    }
    if (out.size() > limit)
        out.resize(limit);
}

}  // namespace streamscan
