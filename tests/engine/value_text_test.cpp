#include "engine/platform_text.h"
#include "engine/value_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/unicode.h"

namespace streamscan {
namespace {

TEST(ValueText, SizesRoundToOneDecimalAndRollOver) {
    const std::pair<std::uint64_t, std::u16string> cases[] = {
        {1023, u"1023 B"},       {1024, u"1.0 KB"},        {1075, u"1.0 KB"},
        {1076, u"1.1 KB"},       {10188, u"9.9 KB"},       {10189, u"10.0 KB"},
        {1048524, u"1023.9 KB"}, {1048525, u"1.0 MB"},     {1000000000000, u"931.3 GB"},
        {1ull << 50, u"1.0 PB"}, {UINT64_MAX, u"16.0 EB"},  // the last unit: no overflow
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(sizeText(bytes), text) << bytes;
    }
}

TEST(ValueText, NumbersAttributesAndCounts) {
    EXPECT_EQ(groupDigits(999, u","), u"999");
    EXPECT_EQ(groupDigits(100000, u"'-'"), u"100'-'000");
    EXPECT_EQ(groupDigits(UINT64_MAX, u","), u"18,446,744,073,709,551,615");
    EXPECT_EQ(signedDecimal(INT64_MIN), u"-9223372036854775808");
    // Archive and the other bits are never named.
    EXPECT_EQ(attributesText(0x10 | 0x20 | 0x80 | 0x800), u"");
    EXPECT_EQ(attributesText(0x402), u"Hidden, Reparse point");
    EXPECT_EQ(attributesText(0xFFFFFFFF), u"Hidden, System, Read-only, Reparse point");
    EXPECT_EQ(countPhrase(0, u"file", u"files"), u"0 files");
    EXPECT_EQ(countPhrase(1, u"file", u"files"), u"1 file");
    std::u16string text;
    for (const std::uint64_t count : {0, 3, 0, 1}) {
        appendCountPhrase(text, count, u"denied");
    }
    EXPECT_EQ(text, u"3 denied, 1 denied");
#ifndef _WIN32
    // The C locale has no separator at all, which must not mean no grouping.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(countPhrase(1000, u"folder", u"folders"), u"1,000 folders");
    std::setlocale(LC_NUMERIC, saved.c_str());
#endif
}

TEST(PlatformText, CaseIsIgnoredBeyondAsciiButNothingElse) {
    const std::tuple<std::u16string, std::u16string, bool> cases[] = {
        {u"caf\u00E9", u"CAF\u00C9", true},
        {u"\u03C3\u03B9", u"\u03A3\u0399", true},
        {u"\u00E9", u"e", false},
        {u"a", u"ab", false},
        {u"stra\u00DFe", u"STRASSE", false},
    };
    for (const auto& [a, b, same] : cases) {
        EXPECT_EQ(ordinalEqualIgnoreCase(a, b), same) << utf8ForDisplay(a);
    }
    // Sorting ignores case too, but not accents.
    EXPECT_EQ(compareTextIgnoreCase(u"CAF\u00C9", u"caf\u00E9"), 0);
    EXPECT_NE(compareTextIgnoreCase(u"caf\u00E9", u"cafe"), 0);
    // Case-sensitive order would put "B" before "a".
    EXPECT_LT(compareTextIgnoreCase(u"apple", u"Banana"), 0);
    EXPECT_GT(compareTextIgnoreCase(u"Banana", u"apple"), 0);
}

TEST(TimeText, ZeroAndUnconvertibleTimesAreEmpty) {
    EXPECT_EQ(timeText(0), u"");
    EXPECT_EQ(timeText(0x8000000000000000ull), u"");
}

#ifndef _WIN32
TEST(TimeText, ShowsLocalTimeOfTheZoneInForce) {
    const char* const old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    // FILETIMEs of UTC times: 2024-01-02 12:00, 2024-07-02 12:00, 2024-01-01 00:30,
    // 2024-02-29 23:59:59.9999999 and 1601-01-01 00:00:01.
    const std::tuple<const char*, std::uint64_t, std::u16string> cases[] = {
        {"IST-5:30", 133486704000000000, u"2024-01-02 17:30:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 133486704000000000, u"2024-01-02 13:00:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", 133643952000000000, u"2024-07-02 14:00:00"},
        {"XYZ+1", 133485426000000000, u"2023-12-31 23:30:00"},
        {"UTC0", 133537247999999999, u"2024-02-29 23:59:59"},
        {"UTC0", 0x7FFFFFFFFFFFFFFFull, u"30828-09-14 02:48:05"},
        // Before 1601 in local time is no FILETIME, as on Windows.
        {"XYZ+1", 10000000, u""},
    };
    for (const auto& [zone, time, text] : cases) {
        setenv("TZ", zone, 1);
        tzset();
        EXPECT_EQ(timeText(time), text) << zone;
    }
    if (old) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}
#endif

}  // namespace
}  // namespace streamscan
