// Names as anyone may choose them, as raw UTF-16. What is shown must hold no
// control or direction code unit outside a marker, must leave a harmless name
// alone, and must still say exactly what the name was: reading the markers back
// gives the original, so two different names never look the same.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/display_escape.h"
#include "fuzz/fuzz_support.h"

using fuzzing::check;

namespace {

// The table of code units to escape, kept here apart from the engine's own.
bool isControlOrDirection(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool startsMarkerPrefix(std::u16string_view text, std::size_t i) {
    return text.substr(i, 3) == u"<U+";
}

bool needsEscape(std::u16string_view text, std::size_t i) {
    return isControlOrDirection(text[i]) || startsMarkerPrefix(text, i);
}

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;  // lowercase never appears in a marker
}

// Reads the shown text back into the name, checking every marker on the way.
std::u16string unescape(std::u16string_view shown) {
    std::u16string name;
    for (std::size_t i = 0; i < shown.size();) {
        if (!startsMarkerPrefix(shown, i)) {
            check(!isControlOrDirection(shown[i]), "control or direction unit left in the open");
            name.push_back(shown[i]);
            ++i;
            continue;
        }
        check(shown.size() - i >= 8 && shown[i + 7] == u'>', "marker is <U+XXXX>");
        unsigned value = 0;
        for (std::size_t k = 3; k < 7; ++k) {
            const int digit = hexValue(shown[i + k]);
            check(digit >= 0, "marker digits are uppercase hexadecimal");
            value = value * 16 + static_cast<unsigned>(digit);
        }
        const auto unit = static_cast<char16_t>(value);
        check(isControlOrDirection(unit) || unit == u'<', "marker stands for a unit that needs it");
        name.push_back(unit);
        i += 8;
    }
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string name = fuzzing::utf16Of(data, size);
    const std::u16string shown = streamscan::escapeForDisplay(name);

    bool anyToEscape = false;
    for (std::size_t i = 0; i < name.size() && !anyToEscape; ++i) {
        anyToEscape = needsEscape(name, i);
    }
    if (!anyToEscape) {
        check(shown == name, "a name with nothing to escape comes back unchanged");
    } else {
        check(shown != name, "a name that needs escaping is changed");
    }
    check(unescape(shown) == name, "the shown text reads back to the exact name");
    return 0;
}
