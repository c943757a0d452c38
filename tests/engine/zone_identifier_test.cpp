#include "engine/zone_identifier.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace streamscan {
namespace {

constexpr std::int64_t kInt64Min = -9223372036854775807LL - 1;

std::string utf16le(std::u16string_view text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

TEST(DecodeStreamText, ByteOrderMarksAndFallback) {
    const struct {
        const char* label;
        std::string bytes;
        std::u16string text;
    } cases[] = {
        {"empty", "", u""},
        {"ascii", "ZoneId=3", u"ZoneId=3"},
        {"utf-8", "caf\xC3\xA9", u"caf\u00E9"},
        {"utf-8 bom", "\xEF\xBB\xBFx", u"x"},
        {"utf-8 bom alone", "\xEF\xBB\xBF", u""},
        {"latin-1 fallback", "caf\xE9", u"caf\u00E9"},
        {"bom then invalid", "\xEF\xBB\xBF\xE9", u"\u00E9"},
        {"overlong is not utf-8", "\xC0\xAF", u"\u00C0\u00AF"},
        {"utf-16le", utf16le(u"a\u00E9"), u"a\u00E9"},
        {"utf-16le lone surrogate kept", utf16le(u"\xD800x"), u"\xD800x"},
        {"utf-16le odd byte dropped",
         std::string("\xFF\xFE"
                     "a\0b",
                     5),
         u"a"},
        {"utf-16le one byte",
         "\xFF\xFE"
         "a",
         u""},
        {"utf-16le mark only", "\xFF\xFE", u""},
        {"big-endian mark is not recognised", "\xFE\xFF", u"\u00FE\u00FF"},
        {"nul bytes kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeStreamText(c.bytes), c.text) << c.label;
    }
}

TEST(TrimWhitespace, OnlyTheSixAsciiSpaces) {
    EXPECT_EQ(trimWhitespace(u" \t\r\n\v\fa b\f\v\n\r\t "), u"a b");
    EXPECT_EQ(trimWhitespace(u" \t "), u"");
    EXPECT_EQ(trimWhitespace(u""), u"");
    EXPECT_EQ(trimWhitespace(u"\u00A0x\u3000"), u"\u00A0x\u3000");
    EXPECT_EQ(trimWhitespace(u"\u0085x"), u"\u0085x");
}

// What a parse should find; the defaults are "nothing found".
struct Expected {
    bool present = false;
    bool parsed = false;
    std::uint32_t zone = kNoZone;
    std::int64_t zoneId = -1;
    std::u16string hostUrl;
    std::u16string referrerUrl;
};

struct ParseCase {
    const char* label;
    std::string content;
    Expected expected;
};

void expectParse(const ParseCase& c) {
    const ZoneInfo info = parseZoneIdentifier(c.content);
    EXPECT_TRUE(info.isZoneIdentifier) << c.label;
    EXPECT_EQ(info.zoneIdPresent, c.expected.present) << c.label;
    EXPECT_EQ(info.zoneIdParsed, c.expected.parsed) << c.label;
    EXPECT_EQ(info.zone, c.expected.zone) << c.label;
    EXPECT_EQ(info.zoneId, c.expected.zoneId) << c.label;
    EXPECT_EQ(info.hostUrl, c.expected.hostUrl) << c.label;
    EXPECT_EQ(info.referrerUrl, c.expected.referrerUrl) << c.label;
}

Expected zoneOf(std::int64_t id) {
    Expected e;
    e.present = true;
    e.parsed = true;
    e.zoneId = id;
    e.zone = (id >= 0 && id <= 4) ? static_cast<std::uint32_t>(id) : kNoZone;
    return e;
}

Expected unreadableZoneId() {
    Expected e;
    e.present = true;
    return e;
}

TEST(ZoneIdentifierParser, ReadsTheSameInEveryEncoding) {
    const std::string ascii = "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=r\r\nHostUrl=h\r\n";
    const std::u16string wide = u"[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=r\r\nHostUrl=h\r\n";
    Expected windows = zoneOf(3);
    windows.hostUrl = u"h";
    windows.referrerUrl = u"r";
    expectParse({"ascii", ascii, windows});
    expectParse({"utf-8 bom", "\xEF\xBB\xBF" + ascii, windows});
    expectParse({"utf-16le", utf16le(wide), windows});

    Expected accented = zoneOf(3);
    accented.hostUrl = u"http://caf\u00E9/";
    expectParse({"utf-8 url", "ZoneId=3\nHostUrl=http://caf\xC3\xA9/", accented});
    accented.hostUrl = u"caf\u00E9";
    expectParse({"latin-1 url", "ZoneId=3\nHostUrl=caf\xE9", accented});
}

TEST(ZoneIdentifierParser, SectionsDecideWhatCounts) {
    const ParseCase cases[] = {
        {"no header at all", "ZoneId=3", zoneOf(3)},
        {"other section", "[Other]\nZoneId=3", {}},
        {"back into the section", "[Other]\nZoneId=3\n[zonetransfer]\nZoneId=2", zoneOf(2)},
        {"spaces in brackets, tail ignored", "[  ZoneTransfer\t] trailing\nZoneId=1", zoneOf(1)},
        {"unclosed header changes nothing", "[Other]\n[ZoneTransfer\nZoneId=1", {}},
        {"unclosed header keeps section", "[ZoneTransfer\nZoneId=1", zoneOf(1)},
        {"empty header leaves every section", "[]\nZoneId=1", {}},
        {"header with equals is no entry", "[ZoneId=2]\nZoneId=1", {}},
        {"lone CR is no line end", "[ZoneTransfer]\rZoneId=3", {}},
        {"leaving the section", "[ZoneTransfer]\n[X]\nZoneId=3", {}},
    };
    for (const auto& c : cases)
        expectParse(c);
}

TEST(ZoneIdentifierParser, KeysAreTrimmedAndCaseFolded) {
    Expected trimmed = zoneOf(2);
    trimmed.hostUrl = u"a=b";
    trimmed.referrerUrl = u"x y";
    const ParseCase cases[] = {
        {"spaces and tabs", " \t zoneid \t=\t 2 \t\r\nHOSTURL=a=b\nreferrerurl =  x y  ", trimmed},
        {"comment lines are just lines", ";ZoneId=1\n#ZoneId=1\nZoneId=2", zoneOf(2)},
        {"key needs an equals sign", "ZoneId 3", {}},
        {"no-break space is not trimmed", "ZoneId\xC2\xA0=3", {}},
    };
    for (const auto& c : cases)
        expectParse(c);
}

TEST(ZoneIdentifierParser, FirstOccurrenceWinsEvenWhenUnreadable) {
    Expected emptyHost = zoneOf(3);
    emptyHost.hostUrl = u"";
    Expected firstUrls;
    firstUrls.hostUrl = u"first";
    firstUrls.referrerUrl = u"one";
    const ParseCase cases[] = {
        {"later ZoneId ignored", "ZoneId=3\nZoneId=4", zoneOf(3)},
        {"unreadable first stays", "ZoneId=x\nZoneId=3", unreadableZoneId()},
        {"empty first stays", "ZoneId=\nZoneId=3", unreadableZoneId()},
        {"first in another section does not count", "[A]\nZoneId=1\n[ZoneTransfer]\nZoneId=2",
         zoneOf(2)},
        {"empty HostUrl blocks later ones", "HostUrl=\nZoneId=3\nHostUrl=h", emptyHost},
        {"first urls", "HostUrl=first\nReferrerUrl=one\nHostUrl=second\nReferrerUrl=two",
         firstUrls},
    };
    for (const auto& c : cases)
        expectParse(c);
}

TEST(ZoneIdentifierParser, ZoneIdNumbers) {
    const ParseCase cases[] = {
        {"plus", "ZoneId=+2", zoneOf(2)},
        {"minus zero", "ZoneId=-0", zoneOf(0)},
        {"leading zeros", "ZoneId=007", zoneOf(7)},
        {"minus one", "ZoneId=-1", zoneOf(-1)},
        {"zone four", "ZoneId=4", zoneOf(4)},
        {"zone five", "ZoneId=5", zoneOf(5)},
        {"trailing spaces trimmed", "ZoneId=3   \r\n", zoneOf(3)},
        {"largest", "ZoneId=9223372036854775807", zoneOf(9223372036854775807LL)},
        {"most negative", "ZoneId=-9223372036854775808", zoneOf(kInt64Min)},
        {"one past largest", "ZoneId=9223372036854775808", unreadableZoneId()},
        {"one past most negative", "ZoneId=-9223372036854775809", unreadableZoneId()},
        {"far too long", "ZoneId=99999999999999999999", unreadableZoneId()},
        {"semicolon", "ZoneId=3;", unreadableZoneId()},
        {"hexadecimal", "ZoneId=0x3", unreadableZoneId()},
        {"decimal point", "ZoneId=3.0", unreadableZoneId()},
        {"inner space", "ZoneId=3 4", unreadableZoneId()},
        {"lone sign", "ZoneId=-", unreadableZoneId()},
        {"two signs", "ZoneId=+-3", unreadableZoneId()},
        {"empty", "ZoneId=", unreadableZoneId()},
        {"full-width digit", "ZoneId=\xEF\xBC\x93", unreadableZoneId()},
    };
    for (const auto& c : cases)
        expectParse(c);
}

TEST(ZoneIdentifierParser, NothingUsableLeavesDefaults) {
    const ParseCase cases[] = {
        {"empty", "", {}},
        {"utf-16 mark and one byte",
         "\xFF\xFE"
         "Z",
         {}},
        {"binary", std::string("\0\x01\x02\xFF", 4), {}},
    };
    for (const auto& c : cases)
        expectParse(c);
}

TEST(ZoneText, NamesZonesAndExplainsTheRest) {
    auto parsed = [](std::string_view content) { return zoneText(parseZoneIdentifier(content)); };
    EXPECT_EQ(zoneText(ZoneInfo{}), u"");
    EXPECT_EQ(parsed("ZoneId=0"), u"Local machine");
    EXPECT_EQ(parsed("ZoneId=-0"), u"Local machine");
    EXPECT_EQ(parsed("ZoneId=1"), u"Local intranet");
    EXPECT_EQ(parsed("ZoneId=2"), u"Trusted sites");
    EXPECT_EQ(parsed("ZoneId=3"), u"Internet");
    EXPECT_EQ(parsed("ZoneId=4"), u"Restricted sites");
    EXPECT_EQ(parsed("ZoneId=7"), u"Unknown (7)");
    EXPECT_EQ(parsed("ZoneId=-1"), u"Unknown (-1)");
    EXPECT_EQ(parsed("ZoneId=-9223372036854775808"), u"Unknown (-9223372036854775808)");
    EXPECT_EQ(parsed("ZoneId=abc"), u"(unreadable ZoneId)");
    EXPECT_EQ(parsed("ZoneId=4294967299"), u"Unknown (4294967299)");
    EXPECT_EQ(parsed("HostUrl=h"), u"(no ZoneId)");
    EXPECT_EQ(parsed(""), u"(no ZoneId)");
    EXPECT_EQ(parsed("\xFF\xFE"
                     "Z"),
              u"(no ZoneId)");
}

}  // namespace
}  // namespace streamscan
