#include "engine/zone_identifier.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "support/report_fixture.h"

namespace streamscan {
namespace {

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
