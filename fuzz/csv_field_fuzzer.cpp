// One report field from any text. A field stays on its line and in its column
// (no CR, LF or tab; quotes doubled; a comma only inside quotes), never starts
// like a formula, and holds the shown text.
#include <cstdint>
#include <string>

#include "engine/csv_field.h"
#include "engine/display_escape.h"
#include "fuzz/fuzz_support.h"

using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = fuzzing::utf16Of(data, size);
    const std::u16string field = streamscan::detail::csvField(text);
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
    const std::u16string shown = streamscan::escapeForDisplay(text);
    check(content == shown || content == u"'" + shown, "the field holds the shown text");
    return 0;
}
