// Names as anyone may choose them, as raw UTF-16. What is shown must hold no
// line break or direction override outside a marker, and must still say exactly
// what the name was: reading the markers back gives the original, so two
// different names never look the same.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/display_escape.h"
#include "fuzz/fuzz_support.h"

using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string name = fuzzing::utf16Of(data, size);
    const std::u16string shownText = streamscan::escapeForDisplay(name);
    const std::u16string_view shown = shownText;
    std::u16string readBack;
    for (std::size_t i = 0; i < shown.size();) {
        if (shown.substr(i, 3) != u"<U+") {
            check(shown[i] >= 0x20 && shown[i] != 0x202E, "control unit left in the open");
            readBack.push_back(shown[i++]);
            continue;
        }
        check(shown.size() - i >= 8 && shown[i + 7] == u'>', "a marker is <U+XXXX>");
        unsigned value = 0;
        for (const char16_t digit : shown.substr(i + 3, 4)) {
            const bool decimal = digit >= u'0' && digit <= u'9';
            check(decimal || (digit >= u'A' && digit <= u'F'), "marker digits are uppercase hex");
            value = value * 16 + (decimal ? digit - u'0' : digit - u'A' + 10);
        }
        readBack.push_back(static_cast<char16_t>(value));
        i += 8;
    }
    check(readBack == name, "the shown text reads back to the exact name");
    return 0;
}
