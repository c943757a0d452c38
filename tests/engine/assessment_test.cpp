#include "engine/assessment.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/unicode.h"
#include "engine/value_text.h"
#include "engine/zone_identifier.h"
#include "support/report_fixture.h"

namespace streamscan {
namespace {

constexpr std::uint64_t kMiB = 1048576;
const std::u16string kMzNote = u"Stream content starts with MZ (executable image)";
const std::u16string kOnProgram = u"Alternate stream on an executable file";
const std::u16string kUnusual = u" unusually large for an alternate stream";

// A stream on C:\data\host; a Zone.Identifier stream's content is parsed, and
// its first bytes are the head unless it could not be read.
StreamRecord on(std::u16string host, std::u16string stream, std::uint64_t size,
                std::uint64_t hostSize = 100, std::string_view content = {}) {
    StreamRecord r;
    r.hostName = std::move(host);
    r.streamName = std::move(stream);
    r.streamSize = size;
    r.hostSize = hostSize;
    r.headLength = std::min<std::size_t>(content.size(), 16);
    std::copy_n(content.begin(), r.headLength, r.head.begin());
    if (equalsAsciiNoCase(r.streamName, u"Zone.Identifier") && !content.empty()) {
        r.zone = parseZoneIdentifier(content);
    }
    return r;
}

StreamRecord unreadable(StreamRecord r) {
    r.unreadable = true;
    r.headLength = 0;
    return r;
}

TEST(Assessment, TheFirstApplicableRuleGivesLevelAndNote) {
    StreamRecord origin = on(u"setup.exe", u"XDG.Origin.URL", 30, 10);
    origin.zone.hostUrl = u"https://a.test/s";
    StreamRecord bigZone = unreadable(on(u"a.txt", u"Zone.Identifier", kMiB, 100, "ZoneId=3"));
    const struct {
        StreamRecord record;
        std::uint32_t severity;
        std::u16string note;
        std::uint64_t threshold = 0;
    } cases[] = {
        {unreadable(on(u"app.exe", u"", 0, kMiB, "MZ")), 0, u""},  // an item row
        {on(u"a.txt", u"payload.exe", 7, 100, "MZ\x90"), 2, kMzNote},
        {on(u"a.txt", u"data", 7, 100, "M"), 0, u""},
        {on(u"a.txt", u"data", 7, 100, "mz"), 0, u""},
        {on(u"a.txt", u"X.PS1", 7), 2, u"Stream is named like an executable or script"},
        {on(u"a.txt", u"ps1", 7), 0, u""},
        {on(u"tools.exe", u"data", 7, 0), 2, kOnProgram},
        {on(u"app.exe", u"SmartScreen", 7), 1,
         u"Alternate stream on an executable file, under a name Windows itself uses"},
        {on(u"app.exe", u"SummaryInformation", 2 * kMiB), 1, u"Stream is 2.0 MB," + kUnusual},
        {on(u"a.txt", u"data", kMiB - 1, kMiB * 4), 0, u""},
        {on(u"a.txt", u"data", 500, 1000), 1, u"Stream is 500 B," + kUnusual, 500},
        {on(u"a.txt", u"data", 5000, 100), 1,
         u"Stream is larger than the file itself (4.9 KB against 100 B)"},
        // Sizes that round to the same text are given in bytes.
        {on(u"a.txt", u"data", 5005, 5000), 1,
         u"Stream is larger than the file itself (" + streamscan::groupedNumber(5005) +
             u" bytes against " + streamscan::groupedNumber(5000) + u" bytes)"},
        {on(u"a.txt", u"data", 4095, 100), 0, u""},
        {on(u"a.txt", u"data", 5000, 0), 0, u""},
        {unreadable(on(u"a.txt", u"data", 7)), 0, u""},
        // Download marks are expected on programs, and the origin says where.
        {origin, 0, u"Downloaded from https://a.test/s"},
        {on(u"setup.exe", u"xdg.origin.url", 30, 10), 0, u""},
        {on(u"setup.exe", u"xdg.origin.url2", 30, 10), 2, kOnProgram},
        {on(u"setup.exe", u"Zone.Identifier", 26, 10, "[ZoneTransfer]\r\nZoneId=3\r\n"), 0, u""},
        {on(u"a.txt", u"Zone.Identifier", 7, 100, "MZ"), 2, kMzNote},
        {on(u"a.txt", u"Zone.Identifier", 9, 100, "ZoneId=-2"), 1,
         u"ZoneId -2 is outside the documented range 0-4"},
        {on(u"a.txt", u"Zone.Identifier", 5000, 100, "ZoneId=9"), 1,
         u"ZoneId 9 is outside the documented range 0-4"},
        {on(u"a.txt", u"Zone.Identifier", 10, 100, "ZoneId=abc"), 1,
         u"ZoneId is present but is not a number this can read"},
        {on(u"a.txt", u"Zone.Identifier", 9, 100, "HostUrl=h"), 0, u""},
        {unreadable(on(u"setup.exe", u"Zone.Identifier", 8, 100, "ZoneId=3")), 1,
         u"Zone.Identifier stream could not be read"},
        {bigZone, 1, u"Stream is 1.0 MB," + kUnusual},
    };
    for (const auto& c : cases) {
        const std::string label = utf8ForDisplay(c.record.hostName + u":" + c.record.streamName);
        std::u16string note = u"stale text from an earlier row";
        EXPECT_EQ(assessStream(c.record, &note, c.threshold), c.severity) << label;
        EXPECT_EQ(note, c.note) << label;
        EXPECT_EQ(assessStream(c.record, nullptr, c.threshold), c.severity) << label;
    }
}

// What the first bytes are, and where that stands among the rules: a valid PE
// says EXE or DLL, a bare MZ keeps its note, other programs are Alerts unless
// an Alert rule came first, containers speak only where no rule did.
TEST(Assessment, ContentKindsFromTheFirstBytes) {
    std::string pe(0x100, '\0');
    pe.replace(0, 2, "MZ");
    pe[0x3C] = '\x80';
    pe.replace(0x80, 4, std::string("PE\0\0", 4));
    std::string dll = pe;
    dll[0x80 + 23] = '\x20';  // IMAGE_FILE_DLL in the file header's characteristics
    std::string lnk("\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 20);
    std::string ooxml = "PK\x03\x04" + std::string(26, '\0') + "[Content_Types].xml";
    const struct {
        std::string content;
        const char16_t* key;
        std::u16string stream = u"data";
        std::uint64_t size = 100;
        std::uint32_t severity = 2;
        const char16_t* note = nullptr;  // the kind's own note when null
    } cases[] = {
        {pe, u"exe"},
        {dll, u"dll"},
        {"MZ\x90\0", nullptr, u"data", 100, 2, u"Stream content starts with MZ (executable image)"},
        {"\x7F"
         "ELF\x02\x01",
         u"elf", u"x.exe", 100, 2, u"Stream is named like an executable or script"},
        {"\x7F"
         "ELF\x02\x01",
         u"elf", u"data", 2 * kMiB},
        {"\xCF\xFA\xED\xFE", u"mach-o"},
        {std::string("\xCA\xFE\xBA\xBE\0\0\0\x34", 8), nullptr, u"data", 100, 0,
         u""},  // a Java class
        {"#!/bin/sh\n", u"script"},
        {"cmd /c PowerShell -NoP -Enc SQBFAFgA", u"powershell-encoded"},
        {"<html><HTA:APPLICATION id=x>", u"hta"},
        {"Set o = WScript.CreateObject(\"x\")", u"vbscript"},
        {"var x = new ActiveXObject(\"y\")", u"jscript"},
        {"PK\x03\x04\x14\0", u"zip", u"data", 100, 1},
        {ooxml, u"ooxml", u"data", 100, 1},
        {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", u"ole", u"data", 100, 1},
        {"MSCF\0\0", u"cab", u"data", 100, 1},
        {"Rar!\x1A\x07\0", u"rar", u"data", 100, 1},
        {"7z\xBC\xAF\x27\x1C", u"7z", u"data", 100, 1},
        {"%PDF-1.7", u"pdf", u"data", 100, 1},
        {lnk, u"lnk", u"data", 100, 1},
        {"%PDF-1.7", u"pdf", u"data", 2 * kMiB, 1,
         u"Stream is 2.0 MB, unusually large for an alternate stream"},
    };
    for (const auto& c : cases) {
        StreamRecord r = on(u"a.txt", c.stream, c.size, 100, c.content);
        const std::span<const std::uint8_t> bytes(
            reinterpret_cast<const std::uint8_t*>(c.content.data()), c.content.size());
        r.contentKind = contentKindOf(bytes);
        EXPECT_EQ(contentKindKey(r.contentKind), c.key ? c.key : u"") << c.content;
        std::u16string note;
        EXPECT_EQ(assessStream(r, &note, 0), c.severity) << c.content;
        EXPECT_EQ(note, c.note ? std::u16string(c.note) : contentKindNote(r.contentKind))
            << c.content;
    }
    const std::uint8_t two[] = {0, 1};
    EXPECT_EQ(std::pair(entropyOf(two), entropyOf({})), std::pair(1.0, 0.0));
}

TEST(Assessment, NamesAndLevels) {
    for (const char16_t* name :
         {u"A.EXE", u"x.psm1", u"x.lnk", u".exe", u"a.txt.scr", u"dir\\b.bat", u"dir/b.cmd"}) {
        EXPECT_TRUE(hasExecutableExtension(name)) << utf8ForDisplay(name);
    }
    for (const char16_t* name : {u"", u"exe", u"x.", u"x.exe ", u"x.exe1", u"x.ex", u"a.b\\c",
                                 u"a.exe/c", u"a.\u0435xe", u"bin.\\exe", u"bin./exe"}) {
        EXPECT_FALSE(hasExecutableExtension(name)) << utf8ForDisplay(name);
    }
    EXPECT_TRUE(isWellKnownStreamName(u"{4C8CC155-6C1E-11D1-8E41-00C04FB9386D}"));
    EXPECT_TRUE(isWellKnownStreamName(u"com.apple.quarantine"));
    EXPECT_FALSE(isWellKnownStreamName(u"\u0005SummaryInformation"));
    EXPECT_FALSE(isWellKnownStreamName(u"Zone.Identifier "));
}

TEST(DecodeStreamText, ByteOrderMarksAndFallback) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"caf\xC3\xA9", u"caf\u00E9"},
        {"\xEF\xBB\xBF", u""},
        {"caf\xE9", u"caf\u00E9"},        // not UTF-8: one unit per byte
        {"\xEF\xBB\xBF\xE9", u"\u00E9"},  // a mark, then not UTF-8
        {"\xC0\xAF", u"\u00C0\u00AF"},    // an overlong form is not UTF-8
        {"\xFF\xFE" + littleEndianBytes(u"a\xD800"), u"a\xD800"},
        {"\xFF\xFE"
         "a",
         u""},
        {std::string("\xFF\xFE"
                     "ab\0",
                     5),
         u"\u6261"},                    // the odd byte is dropped
        {"\xFE\xFF", u"\u00FE\u00FF"},  // a big-endian mark is not one
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(decodeStreamText(bytes), text) << bytes.size();
    }
    EXPECT_EQ(trimWhitespace(u" \t\r\n\v\fa b\f\v\n\r\t "), u"a b");
    EXPECT_EQ(trimWhitespace(u"\u00A0x\u0085"), u"\u00A0x\u0085");
}

// Every content gives its zone text, ZoneId and URLs.
TEST(ZoneIdentifierParser, ReadsZoneIdAndUrlsAsWindowsDoes) {
    const std::string windows = "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=r\r\nHostUrl=h\r\n";
    const std::u16string none = u"(no ZoneId)", bad = u"(unreadable ZoneId)";
    const struct {
        std::string content;
        std::u16string zone;
        std::int64_t zoneId = -1;
        std::u16string hostUrl = {};
        std::u16string referrerUrl = {};
    } cases[] = {
        {windows, u"Internet", 3, u"h", u"r"},
        {"\xEF\xBB\xBF" + windows, u"Internet", 3, u"h", u"r"},
        {"\xFF\xFE" + littleEndianBytes(std::u16string(windows.begin(), windows.end())),
         u"Internet", 3, u"h", u"r"},
        {"ZoneId=0\nHostUrl=caf\xE9", u"Local machine", 0, u"caf\u00E9"},
        {"[Other]\nZoneId=3\n[zonetransfer]\nZoneId=1", u"Local intranet", 1},
        {"[  ZoneTransfer\t] trailing\nZoneId=2", u"Trusted sites", 2},
        {"[Other]\n[ZoneTransfer\nZoneId=1", none},  // an unclosed header changes nothing
        {"[ZoneTransfer\nZoneId=4", u"Restricted sites", 4},
        {"[]\nZoneId=1", none},
        {"[ZoneTransfer]\rZoneId=3", none},  // a lone CR ends no line
        {" \t zoneid \t=\t 2 \t\r\nHOSTURL=a=b\nreferrerurl =  x y  ", u"Trusted sites", 2, u"a=b",
         u"x y"},
        {"ZoneId\xC2\xA0=3", none},   // a no-break space is not trimmed
        {"ZoneId=x\nZoneId=3", bad},  // the first one wins, even when unreadable
        {"HostUrl=\nZoneId=+3\nHostUrl=h", u"Internet", 3},
        {"ReferrerUrl=first\nreferrerurl=second\nZoneId=3", u"Internet", 3, u"", u"first"},
        // UTF-8 up to four bytes a character is read as such, not byte by byte.
        {"ZoneId=3\nHostUrl=https://x/\xC3\xA9\xF0\x9F\x98\x80", u"Internet", 3,
         u"https://x/\u00E9\U0001F600"},
        {"ZoneId=-0", u"Local machine", 0},
        {"ZoneId=4294967299", u"Unknown (4294967299)", 4294967299},
        {"ZoneId=-9223372036854775808", u"Unknown (-9223372036854775808)", INT64_MIN},
        {"ZoneId=9223372036854775807", u"Unknown (9223372036854775807)", INT64_MAX},
        {"ZoneId=9223372036854775808", bad},
        {"ZoneId=-9223372036854775809", bad},
        {"ZoneId=3 4", bad},
        {"ZoneId=-", bad},
        {"ZoneId=+-3", bad},
        {"ZoneId=\xEF\xBC\x93", bad},  // a full-width digit
        {"\xFF\xFE"
         "Z",
         none},
    };
    for (const auto& c : cases) {
        const ZoneInfo info = parseZoneIdentifier(c.content);
        EXPECT_TRUE(info.isZoneIdentifier) << c.content;
        EXPECT_EQ(zoneText(info), c.zone) << c.content;
        EXPECT_EQ(info.zoneIdPresent, c.zone != none) << c.content;
        EXPECT_EQ(info.zoneId, c.zoneId) << c.content;
        const bool documented = c.zoneId >= 0 && c.zoneId <= 4;
        EXPECT_EQ(info.zone, documented ? static_cast<std::uint32_t>(c.zoneId) : kNoZone);
        EXPECT_EQ(info.hostUrl + u"|" + info.referrerUrl, c.hostUrl + u"|" + c.referrerUrl);
    }
    EXPECT_EQ(zoneText(ZoneInfo{}), u"");
}

}  // namespace
}  // namespace streamscan
