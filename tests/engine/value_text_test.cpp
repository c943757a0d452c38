#include "engine/platform_text.h"
#include "engine/value_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace streamscan {
namespace {

TEST(SizeText, RoundsToOneDecimalAndRollsOver) {
    const struct {
        std::uint64_t bytes;
        const char16_t* text;
    } cases[] = {
        {0, u"0 B"},
        {1, u"1 B"},
        {1023, u"1023 B"},
        {1024, u"1.0 KB"},
        {1075, u"1.0 KB"},
        {1076, u"1.1 KB"},
        {1536, u"1.5 KB"},
        {4096, u"4.0 KB"},
        {5000, u"4.9 KB"},
        {10188, u"9.9 KB"},
        {10189, u"10.0 KB"},  // the tenth rounds up into the whole
        {1048524, u"1023.9 KB"},
        {1048525, u"1.0 MB"},  // rolled over into the next unit
        {1048576, u"1.0 MB"},
        {2097152, u"2.0 MB"},
        {1073741823, u"1.0 GB"},
        {1000000000000, u"931.3 GB"},
        {1ull << 40, u"1.0 TB"},
        {1ull << 50, u"1.0 PB"},
        {(1ull << 60) - 1, u"1.0 EB"},
        {1ull << 60, u"1.0 EB"},
        {UINT64_MAX, u"16.0 EB"},  // EB is the last unit: no rollover, no overflow
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sizeText(c.bytes), c.text) << c.bytes;
    }
}

// Where only a lower bound of a stream's size is known, every place says so.
TEST(StreamSizeText, ALowerBoundSaysAtLeast) {
    EXPECT_EQ(streamSizeText(65536, true), u"at least 64.0 KB");
    EXPECT_EQ(streamSizeText(65536, false), u"64.0 KB");
}

TEST(AttributesText, NamesFourBitsInFixedOrder) {
    const struct {
        std::uint32_t bits;
        const char16_t* text;
    } cases[] = {
        {0x0, u""},
        {0x20, u""},  // archive is never named
        {0x10 | 0x800 | 0x80, u""},
        {0x1, u"Read-only"},
        {0x7, u"Hidden, System, Read-only"},
        {0x401, u"Read-only, Reparse point"},
        {0x402, u"Hidden, Reparse point"},
        {0xFFFFFFFF, u"Hidden, System, Read-only, Reparse point"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(attributesText(c.bits), c.text) << c.bits;
    }
}

TEST(GroupDigits, GroupsOfThreeWithAnySeparator) {
    const struct {
        std::uint64_t number;
        const char16_t* separator;
        const char16_t* text;
    } cases[] = {
        {0, u",", u"0"},
        {999, u",", u"999"},
        {1000, u",", u"1,000"},
        {1234567, u",", u"1,234,567"},
        {100000, u",", u"100,000"},
        {UINT64_MAX, u",", u"18,446,744,073,709,551,615"},
        {1234567, u".", u"1.234.567"},
        {1234567, u"\u00A0", u"1\u00A0234\u00A0567"},
        {1234567, u"\u202F", u"1\u202F234\u202F567"},
        {1234567, u"'-'", u"1'-'234'-'567"},
        {1234567, u"", u"1234567"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(groupDigits(c.number, c.separator), c.text) << c.number;
    }
}

#ifndef _WIN32
TEST(GroupedNumber, LocaleWithoutSeparatorStillGroups) {
    // The C locale has no separator at all, which must not mean no grouping.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(userThousandsSeparator(), u"");
    EXPECT_EQ(groupedNumber(1234567), u"1,234,567");
    EXPECT_EQ(countPhrase(1000, u"folder", u"folders"), u"1,000 folders");
    std::setlocale(LC_NUMERIC, saved.c_str());
}
#endif

TEST(CountPhrase, SingularOnlyForOne) {
    EXPECT_EQ(countPhrase(0, u"file", u"files"), u"0 files");
    EXPECT_EQ(countPhrase(1, u"file", u"files"), u"1 file");
    EXPECT_EQ(countPhrase(2, u"file", u"files"), u"2 files");
}

TEST(AppendCountPhrase, SkipsZeroAndSeparatesWithComma) {
    std::u16string text;
    appendCountPhrase(text, 0, u"denied");
    EXPECT_EQ(text, u"");
    appendCountPhrase(text, 3, u"denied");
    EXPECT_EQ(text, u"3 denied");
    appendCountPhrase(text, 0, u"unreadable");
    EXPECT_EQ(text, u"3 denied");
    appendCountPhrase(text, 1, u"links skipped");
    EXPECT_EQ(text, u"3 denied, 1 links skipped");
}

TEST(PlatformText, OrdinalEqualIgnoreCaseBeyondAscii) {
    const struct {
        const char16_t* a;
        const char16_t* b;
        bool equal;
    } cases[] = {
        {u"", u"", true},
        {u"C:\\Data", u"c:\\DATA", true},
        {u"caf\u00E9", u"CAF\u00C9", true},
        {u"\u03C3\u03B9", u"\u03A3\u0399", true},  // Greek
        {u"\u0436", u"\u0416", true},              // Cyrillic zhe
        {u"\u00E9", u"e", false},                  // no accent folding
        {u"a", u"ab", false},                      // lengths differ
        {u"stra\u00DFe", u"STRASSE", false},       // no multi-unit mapping
        {u"\U0001F600", u"\U0001F600", true},      // pairs compare as they are
        {u"\U0001F600", u"\U0001F601", false},
    };
    int row = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(ordinalEqualIgnoreCase(c.a, c.b), c.equal) << "row " << row;
        ++row;
    }
}

TEST(PlatformText, CompareTextIgnoreCaseOrdersWithoutCase) {
    EXPECT_EQ(compareTextIgnoreCase(u"Report.txt", u"report.TXT"), 0);
    EXPECT_EQ(compareTextIgnoreCase(u"", u""), 0);
    // Case-sensitive order would put "B" before "a".
    EXPECT_LT(compareTextIgnoreCase(u"apple", u"Banana"), 0);
    EXPECT_GT(compareTextIgnoreCase(u"Banana", u"apple"), 0);
    EXPECT_LT(compareTextIgnoreCase(u"a", u"AB"), 0);
    EXPECT_LT(compareTextIgnoreCase(u"file1", u"FILE2"), 0);
    EXPECT_LT(compareTextIgnoreCase(u"", u"a"), 0);
    EXPECT_EQ(compareTextIgnoreCase(u"CAF\u00C9", u"caf\u00E9"), 0);
    EXPECT_NE(compareTextIgnoreCase(u"caf\u00E9", u"cafe"), 0);
}

// A FILETIME of a UTC civil time, computed here from first principles.
std::uint64_t fileTimeOf(int year, int month, int day, int hour, int minute, int second) {
    // Days from 1601-01-01 by the proleptic Gregorian calendar.
    auto daysFromCivil = [](long long y, unsigned m, unsigned d) {
        y -= m <= 2;
        const long long era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<long long>(doe);
    };
    const long long days = daysFromCivil(year, month, day) - daysFromCivil(1601, 1, 1);
    const long long seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return static_cast<std::uint64_t>(seconds) * 10000000ull;
}

TEST(TimeText, ZeroAndUnconvertibleTimesAreEmpty) {
    EXPECT_EQ(timeText(0), u"");
    EXPECT_EQ(timeText(0x8000000000000000ull), u"");
    EXPECT_EQ(timeText(UINT64_MAX), u"");
}

#ifndef _WIN32
// Sets TZ for one test and puts the old value back.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (saved_) {
            setenv("TZ", saved_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::optional<std::string> saved_;
};

TEST(TimeText, ShowsLocalTimeOfTheZoneInForce) {
    const std::uint64_t noonJan2 = fileTimeOf(2024, 1, 2, 12, 0, 0);
    const std::uint64_t noonJul2 = fileTimeOf(2024, 7, 2, 12, 0, 0);
    const struct {
        const char* zone;
        std::uint64_t time;
        const char16_t* text;
    } cases[] = {
        {"UTC0", noonJan2, u"2024-01-02 12:00:00"},
        {"XYZ-1", noonJan2, u"2024-01-02 13:00:00"},  // an hour ahead
        {"XYZ+5", noonJan2, u"2024-01-02 07:00:00"},
        {"IST-5:30", noonJan2, u"2024-01-02 17:30:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", noonJan2, u"2024-01-02 13:00:00"},
        {"CET-1CEST,M3.5.0,M10.5.0/3", noonJul2, u"2024-07-02 14:00:00"},
        {"XYZ+1", fileTimeOf(2024, 1, 1, 0, 30, 0), u"2023-12-31 23:30:00"},
        {"UTC0", fileTimeOf(2024, 2, 29, 23, 59, 59) + 9999999, u"2024-02-29 23:59:59"},
        {"UTC0", fileTimeOf(1601, 1, 1, 0, 0, 1), u"1601-01-01 00:00:01"},
        {"UTC0", fileTimeOf(1969, 12, 31, 23, 59, 59), u"1969-12-31 23:59:59"},
        {"UTC0", 0x7FFFFFFFFFFFFFFFull, u"30828-09-14 02:48:05"},
        // Before 1601 in local time is no FILETIME, as on Windows.
        {"XYZ+1", fileTimeOf(1601, 1, 1, 0, 0, 1), u""},
    };
    for (const auto& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(timeText(c.time), c.text) << c.zone;
    }
}
#else
// The civil time of a FILETIME, the inverse of fileTimeOf.
std::u16string civilTextOf(std::uint64_t fileTime) {
    const long long seconds = static_cast<long long>(fileTime / 10000000ull);
    long long z = seconds / 86400 + 584694;  // days from 0000-03-01 to 1601-01-01
    const long long secondOfDay = seconds % 86400;
    const long long era = z / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = static_cast<long long>(yoe) + era * 400 + (month <= 2);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02lld:%02lld:%02lld", year, month, day,
                  secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
    return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

// Wine takes its time zone from the host when the process starts, so the test
// asks the system for the local FILETIME and checks the text against a civil
// time computed independently of FileTimeToSystemTime.
TEST(TimeText, ShowsLocalTimeOfTheSystemZone) {
    ASSERT_EQ(civilTextOf(fileTimeOf(2024, 2, 29, 23, 59, 58)), u"2024-02-29 23:59:58");
    ASSERT_EQ(civilTextOf(fileTimeOf(1601, 1, 1, 0, 0, 1)), u"1601-01-01 00:00:01");
    const std::uint64_t utcTimes[] = {
        fileTimeOf(2024, 1, 2, 12, 0, 0),
        fileTimeOf(2024, 7, 2, 12, 0, 0),
        fileTimeOf(1999, 12, 31, 23, 59, 59),
        fileTimeOf(2024, 2, 29, 0, 0, 7) + 9999999,
    };
    for (const std::uint64_t utc : utcTimes) {
        FILETIME in{static_cast<DWORD>(utc & 0xFFFFFFFF), static_cast<DWORD>(utc >> 32)};
        FILETIME local{};
        ASSERT_TRUE(FileTimeToLocalFileTime(&in, &local));
        const std::uint64_t localTicks =
            (static_cast<std::uint64_t>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
        EXPECT_EQ(timeText(utc), civilTextOf(localTicks));
    }
}
#endif

}  // namespace
}  // namespace streamscan
