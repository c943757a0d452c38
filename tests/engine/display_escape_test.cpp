#include "engine/display_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace streamscan {
namespace {

TEST(DisplayEscape, MarksControlAndDirectionCodeUnits) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"", u""},
        {u"x\r\n", u"x<U+000D><U+000A>"},
        {std::u16string(u"a\0b", 3), u"a<U+0000>b"},
        {u"\u001F ~", u"<U+001F> ~"},
        {u"\u007E\u007F\u009F\u00A0", u"\u007E<U+007F><U+009F>\u00A0"},
        {u"\u061B\u061C\u061D", u"\u061B<U+061C>\u061D"},
        {u"\u200D\u200E\u200F\u2028", u"\u200D<U+200E><U+200F>\u2028"},
        {u"\u2029\u202A\u202E\u202F", u"\u2029<U+202A><U+202E>\u202F"},
        {u"\u2065\u2066\u2069\u206A", u"\u2065<U+2066><U+2069>\u206A"},
        {u"\uFEFF\U0001F600a\xDCE9", u"\uFEFF\U0001F600a\xDCE9"},
        // Only a real "<U+" start is escaped, so the output can never hold a
        // marker a name made.
        {u"<U+0041>", u"<U+003C>U+0041>"},
        {u"x<U+", u"x<U+003C>U+"},
        {u"<<U+", u"<<U+003C>U+"},
        {u"<u+0041> name<U <U-1>", u"<u+0041> name<U <U-1>"},
    };
    for (const auto& [raw, shown] : cases) {
        EXPECT_EQ(escapeForDisplay(raw), shown) << raw.size();
    }
    std::u16string out = u"x";
    for (const char16_t unit : {0x0000, 0xABCD, 0xFFFF, 0x0A0B}) {
        appendCodeUnitEscape(out, unit);
    }
    EXPECT_EQ(out, u"x<U+0000><U+ABCD><U+FFFF><U+0A0B>");
}

}  // namespace
}  // namespace streamscan
