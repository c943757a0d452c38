#include "engine/unicode.h"

#include <gtest/gtest.h>

#include <string>

namespace streamscan {
namespace {

TEST(Utf8Strict, RejectsWhatTheWindowsDecoderRejects) {
    const std::pair<std::string, std::u16string> valid[] = {
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"\xE2\x80\xAE", u"\u202E"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& [bytes, text] : valid) {
        std::u16string out = u"junk";
        EXPECT_TRUE(decodeUtf8Strict(bytes, out));
        EXPECT_EQ(out, text);
    }
    for (const std::string invalid :
         {"caf\xE9", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", "\xED\xA0\x80",
          "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "ab\xE2\x80",
          "\x80"
          "abc",
          "\xC3("}) {
        std::u16string out = u"junk";
        EXPECT_FALSE(decodeUtf8Strict(invalid, out)) << invalid;
        EXPECT_EQ(out, u"") << invalid;
    }
}

TEST(NameCodec, RoundTripsAnyBytesAndMarksTheInvalidOnes) {
    // Every single byte value, alone and after a lead byte, and some longer runs.
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(encodeName(decodeName(one)), one) << b;
        EXPECT_EQ(encodeName(decodeName("\xC3" + one)), "\xC3" + one) << b;
    }
    for (const std::string bytes : {"\xED\xB2\x80", "a\xF0\x9F\x98", "\xF0\x9F\x98\x80"}) {
        EXPECT_EQ(encodeName(decodeName(bytes)), bytes);
    }
    EXPECT_EQ(decodeName("caf\xE9"), u"caf\xDCE9");
    EXPECT_EQ(decodeName("\xC0\xAF"), u"\xDCC0\xDCAF");  // an overlong "/" stays no separator
    EXPECT_EQ(decodeName("caf\xC3\xA9"), u"caf\u00E9");
}

TEST(DisplayUtf8, LoneSurrogatesBecomeMarkers) {
    EXPECT_EQ(utf8ForDisplay(u"a\xDCE9z"), "a<U+DCE9>z");
    EXPECT_EQ(utf8ForDisplay(u"\xD83D"), "<U+D83D>");
    EXPECT_EQ(utf8ForDisplay(u"\U0001F600\u00E9\u0800"), "\xF0\x9F\x98\x80\xC3\xA9\xE0\xA0\x80");
}

TEST(AsciiFolding, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(equalsAsciiNoCase(u"ZONE.IDENTIFIER", u"zone.identifier"));
    EXPECT_FALSE(equalsAsciiNoCase(u"\u00C9", u"\u00E9"));  // no folding beyond A-Z
    EXPECT_FALSE(equalsAsciiNoCase(u"exe", u"exe "));
    EXPECT_FALSE(equalsAsciiNoCase(u"[", u"{"));  // '[' is not 'Z' + 1 folded
}

}  // namespace
}  // namespace streamscan
