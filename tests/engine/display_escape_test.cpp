#include "engine/display_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace streamscan {
namespace {

struct EscapeCase {
    const char* label;
    std::u16string raw;
    std::u16string shown;
};

TEST(DisplayEscape, MarksControlAndDirectionCodeUnits) {
    const EscapeCase cases[] = {
        {"empty", u"", u""},
        {"plain", u"a.txt", u"a.txt"},
        {"tab", u"a\tb", u"a<U+0009>b"},
        {"crlf", u"x\r\n", u"x<U+000D><U+000A>"},
        {"nul", std::u16string(u"a\0b", 3), u"a<U+0000>b"},
        {"unit separator", u"\u001F", u"<U+001F>"},
        {"space stays", u" ", u" "},
        {"tilde stays", u"~", u"~"},
        {"del", u"\u007F", u"<U+007F>"},
        {"last C1", u"\u009F", u"<U+009F>"},
        {"first above C1", u"\u00A0", u"\u00A0"},
        {"e acute", u"caf\u00E9", u"caf\u00E9"},
        {"arabic letter mark", u"\u061C", u"<U+061C>"},
        {"neighbours of ALM", u"\u061B\u061D", u"\u061B\u061D"},
        {"LRM RLM", u"\u200E\u200F", u"<U+200E><U+200F>"},
        {"zero width joiner stays", u"\u200B\u200C\u200D", u"\u200B\u200C\u200D"},
        {"line separator stays", u"\u2028\u2029", u"\u2028\u2029"},
        {"override", u"evil\u202Etxt.exe", u"evil<U+202E>txt.exe"},
        {"embedding range", u"\u202A\u202E\u202F", u"<U+202A><U+202E>\u202F"},
        {"isolates", u"\u2065\u2066\u2069\u206A", u"\u2065<U+2066><U+2069>\u206A"},
        {"bom stays", u"\uFEFF", u"\uFEFF"},
        {"emoji pair stays", u"\U0001F600", u"\U0001F600"},
        {"lone surrogate stays", u"a\xDCE9", u"a\xDCE9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeForDisplay(c.raw), c.shown) << c.label;
    }
}

// Only a real "<U+" start is escaped, so the output can never contain a
// name-made marker.
TEST(DisplayEscape, EscapesTheMarkerStartOnlyWhenComplete) {
    const EscapeCase cases[] = {
        {"fake marker", u"<U+0041>", u"<U+003C>U+0041>"},
        {"in the middle", u"a<U+b", u"a<U+003C>U+b"},
        {"at the end", u"x<U+", u"x<U+003C>U+"},
        {"lower u", u"<u+0041>", u"<u+0041>"},
        {"too short", u"name<U", u"name<U"},
        {"no plus", u"<U-1>", u"<U-1>"},
        {"lone angle", u"a<b", u"a<b"},
        {"twice", u"<<U+", u"<<U+003C>U+"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeForDisplay(c.raw), c.shown) << c.label;
    }
}

TEST(DisplayEscape, MarkerIsFourUppercaseHexDigits) {
    std::u16string out = u"x";
    appendCodeUnitEscape(out, 0x0000);
    appendCodeUnitEscape(out, 0xABCD);
    appendCodeUnitEscape(out, 0xFFFF);
    appendCodeUnitEscape(out, 0x0A0B);
    EXPECT_EQ(out, u"x<U+0000><U+ABCD><U+FFFF><U+0A0B>");
}

}  // namespace
}  // namespace streamscan
