#include "engine/unicode.h"

#include <gtest/gtest.h>

#include <string>

namespace streamscan {
namespace {

struct StrictCase {
    const char* label;
    std::string bytes;
    bool valid;
    std::u16string text;
};

TEST(Utf8Strict, RejectsWhatTheWindowsDecoderRejects) {
    const StrictCase cases[] = {
        {"ascii", "ZoneId=3", true, u"ZoneId=3"},
        {"two bytes", "caf\xC3\xA9", true, u"caf\u00E9"},
        {"three bytes", "\xE2\x80\xAE", true, u"\u202E"},
        {"four bytes", "\xF0\x9F\x98\x80", true, u"\U0001F600"},
        {"largest", "\xF4\x8F\xBF\xBF", true, u"\U0010FFFF"},
        {"nul inside", std::string("a\0b", 3), true, std::u16string(u"a\0b", 3)},
        {"latin-1 byte", "caf\xE9", false, u""},
        {"overlong two", "\xC0\xAF", false, u""},
        {"overlong C1", "\xC1\xBF", false, u""},
        {"overlong three", "\xE0\x80\xAF", false, u""},
        {"overlong four", "\xF0\x80\x80\xAF", false, u""},
        {"surrogate", "\xED\xA0\x80", false, u""},
        {"low surrogate", "\xED\xBF\xBF", false, u""},
        {"above 10FFFF", "\xF4\x90\x80\x80", false, u""},
        {"F5 lead", "\xF5\x80\x80\x80", false, u""},
        {"truncated", "ab\xE2\x80", false, u""},
        {"stray continuation",
         "\x80"
         "abc",
         false, u""},
        {"bad continuation", "\xC3(", false, u""},
    };
    for (const auto& c : cases) {
        std::u16string out = u"junk";
        EXPECT_EQ(decodeUtf8Strict(c.bytes, out), c.valid) << c.label;
        EXPECT_EQ(out, c.text) << c.label;
    }
}

TEST(NameCodec, RoundTripsAnyBytes) {
    const std::string samples[] = {
        "",
        "plain.txt",
        "caf\xC3\xA9",
        "caf\xE9",            // Latin-1 on disk
        "\xED\xB2\x80",       // an encoded surrogate, which is not UTF-8
        "\xFF\xFE\x80\x00x",  // stray bytes and a NUL
        "a\xF0\x9F\x98",      // truncated emoji
        "\xC0\xAF../etc",     // overlong slash must not turn into "/"
    };
    for (const auto& bytes : samples) {
        EXPECT_EQ(encodeName(decodeName(bytes)), bytes);
    }
    // Every single byte value, alone and after a lead byte.
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(encodeName(decodeName(one)), one) << b;
        const std::string two = "\xC3" + one;
        EXPECT_EQ(encodeName(decodeName(two)), two) << b;
    }
}

TEST(NameCodec, InvalidBytesBecomeLoneSurrogatesOfTheSameLowByte) {
    EXPECT_EQ(decodeName("caf\xE9"), u"caf\xDCE9");
    EXPECT_EQ(decodeName("\xC0\xAF"), u"\xDCC0\xDCAF");
    EXPECT_EQ(decodeName("caf\xC3\xA9"), u"caf\u00E9");
}

TEST(DisplayUtf8, LoneSurrogatesBecomeMarkers) {
    EXPECT_EQ(utf8ForDisplay(u"a\xDCE9z"), "a<U+DCE9>z");
    EXPECT_EQ(utf8ForDisplay(u"\xD83D"), "<U+D83D>");
    EXPECT_EQ(utf8ForDisplay(u"\U0001F600\u00E9"), "\xF0\x9F\x98\x80\xC3\xA9");
}

TEST(AsciiFolding, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(equalsAsciiNoCase(u"ZONE.IDENTIFIER", u"zone.identifier"));
    EXPECT_FALSE(equalsAsciiNoCase(u"\u00C9", u"\u00E9"));  // no folding beyond A-Z
    EXPECT_FALSE(equalsAsciiNoCase(u"exe", u"exe "));
    EXPECT_FALSE(equalsAsciiNoCase(u"[", u"{"));  // '[' is not 'Z' + 1 folded
    EXPECT_TRUE(equalsAsciiNoCase(u"", u""));
}

}  // namespace
}  // namespace streamscan
