// One report field from any text. A field must stay on its line and in its
// column (no CR, LF or tab; quotes balanced; a comma only inside quotes), must
// never start like a formula, and must hold exactly the shown text.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/csv_field.h"
#include "engine/display_escape.h"
#include "fuzz/fuzz_support.h"

using fuzzing::check;

namespace {

bool startsLikeFormula(std::u16string_view text) {
    return !text.empty() &&
           (text[0] == u'=' || text[0] == u'+' || text[0] == u'-' || text[0] == u'@');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = fuzzing::utf16Of(data, size);
    const std::u16string field = streamscan::detail::csvField(text);
    const std::u16string shown = streamscan::escapeForDisplay(text);

    check(field.find_first_of(u"\r\n\t") == std::u16string::npos, "no CR, LF or tab in a field");

    const bool quoted = !field.empty() && field.front() == u'"';
    std::u16string content;
    if (quoted) {
        check(field.size() >= 2 && field.back() == u'"', "a quoted field ends with a quote");
        const std::u16string_view inner = std::u16string_view(field).substr(1, field.size() - 2);
        for (std::size_t i = 0; i < inner.size(); ++i) {
            if (inner[i] == u'"') {
                check(i + 1 < inner.size() && inner[i + 1] == u'"', "inner quotes are doubled");
                ++i;
            }
            content.push_back(inner[i]);
        }
    } else {
        check(field.find_first_of(u"\",") == std::u16string::npos,
              "a bare field holds no quote and no comma");
        content = field;
    }

    check(!startsLikeFormula(content), "a field never starts like a formula");
    const bool guard = startsLikeFormula(shown);
    check(content == (guard ? u"'" + shown : shown), "the field holds exactly the shown text");
    check(quoted == (guard || shown.find_first_of(u"\",") != std::u16string::npos),
          "quotes only where needed");
    return 0;
}
