// Names as anyone may choose them, as raw UTF-16, shown on screen and written as
// one report field.
//
// What is shown must hold no line break or direction override outside a marker,
// and must still say exactly what the name was: reading the markers back gives
// the original, so two different names never look the same.
//
// A field stays on its line and in its column (no CR, LF or tab; quotes
// doubled; a comma only inside quotes), never starts like a formula, and holds
// the shown text.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/csv_field.h"
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

    const std::u16string field = streamscan::detail::csvField(name);
    check(field.find_first_of(u"\r\n\t") == std::u16string::npos, "no CR, LF or tab in a field");
    std::u16string content = field;
    if (field.rfind(u'"', 0) == 0) {
        check(field.size() >= 2 && field.back() == u'"', "a quoted field ends with a quote");
        content.clear();
        for (std::size_t i = 1; i + 1 < field.size(); ++i) {
            check(field[i] != u'"' || (i + 2 < field.size() && field[++i] == u'"'),
                  "inner quotes are doubled");
            content.push_back(field[i]);
        }
    } else {
        check(field.find_first_of(u"\",") == std::u16string::npos, "a bare field is plain");
    }
    check(content.find_first_of(u"=+-@") != 0, "a field never starts like a formula");
    check(content == shownText || content == u"'" + shownText, "the field holds the shown text");
    return 0;
}
