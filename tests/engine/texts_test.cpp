#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "engine/display_escape.h"
#include "engine/not_examined.h"
#include "engine/path_forms.h"
#include "engine/platform_text.h"
#include "engine/removal.h"
#include "engine/unicode.h"
#include "engine/value_text.h"

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
    // Past U+FFFF a surrogate pair is one character: it sorts after every
    // character below it, and its case folds (on Windows the system's collation
    // decides that).
    EXPECT_LT(compareTextIgnoreCase(u"\uFFFD", u"\U0001F600"), 0);
#ifndef _WIN32
    EXPECT_EQ(compareTextIgnoreCase(u"\U00010400", u"\U00010428"), 0);
#endif
}

TEST(TimeText, ZeroAndUnconvertibleTimesAreEmpty) {
    EXPECT_EQ(timeText(0), u"");
    EXPECT_EQ(timeText(0x8000000000000000ull), u"");
}

#ifndef _WIN32
// UTC to the precision the file system keeps, before 1970 too.
TEST(TimeText, IsoTimesKeepTheirSourcesPrecision) {
    const std::pair<Timestamp, std::string> cases[] = {
        {timestampOfFileTime(132593079671234567ULL), "2021-03-04T05:06:07.1234567Z"},
        {timestampOfFileTime(1), "1601-01-01T00:00:00.0000001Z"},
        {{-1, 999999999, 9}, "1969-12-31T23:59:59.999999999Z"},
        {timestampOfFileTime(0), ""},
    };
    for (const auto& [time, text] : cases)
        EXPECT_EQ(isoUtcText(time), text) << text;
}

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

TEST(DisplayEscape, MarksControlAndDirectionCodeUnits) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"", u""},
        {u"x\r\n", u"x<U+000D><U+000A>"},
        {std::u16string(u"a\0b", 3), u"a<U+0000>b"},
        {u"\u001F ~", u"<U+001F> ~"},
        {u"\u007E\u007F\u009F\u00A0", u"\u007E<U+007F><U+009F>\u00A0"},
        {u"\u061B\u061C\u061D", u"\u061B<U+061C>\u061D"},
        {u"\u200D\u200E\u200F\u2027", u"\u200D<U+200E><U+200F>\u2027"},
        {u"\u2028\u2029\u202A\u202E\u202F", u"<U+2028><U+2029><U+202A><U+202E>\u202F"},
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

TEST(NotExaminedReason, KindsWithoutAnErrorSayWhatHappenedAndErrorsKeepTheirCode) {
    struct Case {
        PlaceKind kind;
        std::uint32_t error;
        std::u16string reason;
    };
    const Case cases[] = {
        {PlaceKind::depthLimit, 0, u"more than 255 levels below its root, not listed"},
        {PlaceKind::linkNotFollowed, 0, u"link not followed"},
        {PlaceKind::volumeWithoutStreams, 0, u"volume cannot hold alternate data streams"},
        {PlaceKind::cancelled, 0, u"the scan was stopped here"},
        {PlaceKind::unreadableStream, 0, u"could not be read whole"},
        {PlaceKind::listFailed, 0, u"stopped by an unexpected error"},
        // A missing stream is what the error table means by 2; a missing root is not a stream.
        {PlaceKind::unreadableStream, 2, WindowsErrorText(2)},
        {PlaceKind::listFailed, 2, u"Not found (2)"},
        {PlaceKind::accessDenied, 2, u"Not found (2)"},
        {PlaceKind::listFailed, 8, u"Not enough memory (8)"},
        {PlaceKind::accessDenied, 5, WindowsErrorText(5)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(notExaminedReason({u"/x", c.kind, c.error}), c.reason)
            << static_cast<int>(c.kind) << " " << c.error << ": " << utf8ForDisplay(c.reason);
    }
}

constexpr PathStyle kWin = PathStyle::windows;
constexpr PathStyle kPosix = PathStyle::posix;

TEST(PathForms, LongAndVerbatimFormsPrefixOnlyAbsoluteWindowsPaths) {
    const std::u16string x236(236, u'x');  // with the heads below: 248 characters
    const std::u16string r260(260, u'r');
    const std::tuple<std::u16string, PathStyle, std::u16string> longForms[] = {
        {u"C:\\" + std::u16string(244, u'x'), kWin, u"C:\\" + std::u16string(244, u'x')},
        {u"C:/" + x236 + u"/a/bcdefgh", kWin, u"\\\\?\\C:\\" + x236 + u"\\a\\bcdefgh"},
        {u"\\\\server/share\\" + x236, kWin, u"\\\\?\\UNC\\server\\share\\" + x236},
        {u"\\\\.\\C:/" + r260, kWin, u"\\\\.\\C:/" + r260},
        {u"\\" + r260, kWin, u"\\" + r260},
        {u"C:" + r260, kWin, u"C:" + r260},
        {u"C:/" + r260, kPosix, u"C:/" + r260},
    };
    for (const auto& [path, style, expected] : longForms) {
        EXPECT_EQ(longPathForm(path, style), expected) << path.size();
    }
    const std::tuple<std::u16string, PathStyle, std::u16string> verbatimForms[] = {
        {u"c:/x/dir.\\con", kWin, u"\\\\?\\c:\\x\\dir.\\con"},
        {u"\\\\server\\share\\trail ", kWin, u"\\\\?\\UNC\\server\\share\\trail "},
        {u"\\\\?\\C:\\nul.txt", kWin, u"\\\\?\\C:\\nul.txt"},
        {u"relative\\dir.", kWin, u"relative\\dir."},
        {u"C:", kWin, u"C:"},
        {u"C:/x/dir.", kPosix, u"C:/x/dir."},
    };
    for (const auto& [path, style, expected] : verbatimForms) {
        EXPECT_EQ(verbatimPathForm(path, style), expected) << utf8ForDisplay(path);
    }
}

TEST(PathForms, SplitTrimAndJoinByStyle) {
    struct Case {
        std::u16string path;
        PathStyle style;
        std::u16string parent;
        std::u16string leaf;
        std::u16string hostName;  // the host folder is the parent
        std::u16string trimmed;
    };
    const Case cases[] = {
        {u"C:\\", kWin, u"C:\\", u"C:", u"", u"C:\\"},
        {u"C:\\a.txt", kWin, u"C:\\", u"a.txt", u"a.txt", u"C:\\a.txt"},
        {u"C:\\dir\\sub/", kWin, u"C:\\dir", u"sub", u"sub", u"C:\\dir\\sub"},
        {u"\\\\server\\share\\", kWin, u"\\\\server", u"share", u"share", u"\\\\server\\share"},
        {u"a.txt", kWin, u"", u"a.txt", u"a.txt", u"a.txt"},
        {u"/", kPosix, u"/", u"/", u"", u"/"},
        {u"/home/u/a\\b.txt", kPosix, u"/home/u", u"a\\b.txt", u"a\\b.txt", u"/home/u/a\\b.txt"},
        {u"/home/u/", kPosix, u"/home", u"u", u"u", u"/home/u"},
        {u"/ev/d.img//p1", PathStyle::image, u"/ev/d.img//p1", u"p1", u"", u"/ev/d.img//p1"},
        {u"/ev/d.img//p1/a", PathStyle::image, u"/ev/d.img//p1", u"a", u"a", u"/ev/d.img//p1/a"},
    };
    for (const auto& c : cases) {
        const std::string label = utf8ForDisplay(c.path);
        EXPECT_EQ(parentPath(c.path, c.style), c.parent) << label;
        EXPECT_EQ(leafName(c.path, c.style), c.leaf) << label;
        EXPECT_EQ(trimTrailingSeparator(c.path, c.style), c.trimmed) << label;
        StreamRecord record;
        std::tie(record.hostFolder, record.hostName) = splitHostPath(c.path, c.style);
        EXPECT_EQ(record.hostFolder + u"|" + record.hostName, c.parent + u"|" + c.hostName);
        // Joined again, the parts give the path back, less a separator that can go.
        EXPECT_EQ(hostPathOf(record, c.style), c.trimmed) << label;
    }
    EXPECT_EQ(trimTrailingSeparator(u"C:\\dir\\\\", kWin), u"C:\\dir\\\\");  // a doubled one stays
    EXPECT_EQ(joinPath(u"C:/dir/", u"a.txt", kWin), u"C:/dir\\a.txt");
    EXPECT_EQ(joinPath(u"C:\\dir\\\\", u"a.txt", kWin), u"C:\\dir\\a.txt");
    EXPECT_EQ(joinPath(u"", u"a.txt", kWin), u"a.txt");
    EXPECT_EQ(joinPath(u"C:\\dir", u"", kWin), u"C:\\dir");
    EXPECT_EQ(joinPath(u"/home\\", u"a", kPosix), u"/home\\/a");
}

}  // namespace
}  // namespace streamscan
