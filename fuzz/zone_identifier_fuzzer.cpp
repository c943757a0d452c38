// Zone.Identifier content as an attacker writes it: any bytes, in any of the
// three encodings. The parsed fields must agree with each other, and what was
// parsed must parse the same again when written out cleanly.
#include <cstdint>
#include <string>

#include "engine/scan_types.h"
#include "engine/zone_identifier.h"
#include "fuzz/fuzz_support.h"

using fuzzing::check;
using namespace streamscan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ZoneInfo info = parseZoneIdentifier(fuzzing::bytesOf(data, size));
    check(info.isZoneIdentifier, "parsed content is always a Zone.Identifier");
    check(info.zoneIdPresent || !info.zoneIdParsed, "a parsed ZoneId was present");
    check(info.zoneIdParsed || (info.zoneId == -1 && info.zone == kNoZone),
          "an unparsed ZoneId keeps the defaults");
    check(info.hostUrl.find(u'\n') == std::u16string::npos &&
              info.referrerUrl.find(u'\n') == std::u16string::npos,
          "a URL is one line");

    std::u16string text = u"\uFEFF[ZoneTransfer]\r\n";
    if (info.zoneIdPresent) {
        const std::string id = info.zoneIdParsed ? std::to_string(info.zoneId) : "x";
        text += u"ZoneId=" + std::u16string(id.begin(), id.end()) + u"\r\n";
    }
    text += u"HostUrl=" + info.hostUrl + u"\r\nReferrerUrl=" + info.referrerUrl + u"\r\n";
    std::string bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    const ZoneInfo again = parseZoneIdentifier(bytes);
    check(again.zoneIdPresent == info.zoneIdPresent && again.zoneIdParsed == info.zoneIdParsed &&
              again.zoneId == info.zoneId && again.zone == info.zone,
          "ZoneId survives a rewrite");
    check(again.hostUrl == info.hostUrl && again.referrerUrl == info.referrerUrl,
          "URLs survive a rewrite");
    return 0;
}
