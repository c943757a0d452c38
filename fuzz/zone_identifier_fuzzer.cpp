// Zone.Identifier content as an attacker writes it: any bytes, in any of the
// three encodings. The decoding must pick the reading the rules give, the parsed
// fields must agree with each other, and what was parsed must parse the same
// again when written out cleanly.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/scan_types.h"
#include "engine/unicode.h"
#include "engine/zone_identifier.h"
#include "fuzz/fuzz_support.h"

using fuzzing::check;
using namespace streamscan;

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

bool isWhitespace(char16_t c) {
    return c == u' ' || (c >= 0x0009 && c <= 0x000D);
}

std::u16string widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::string utf16leWithMark(std::u16string_view text) {
    std::string bytes(kUtf16Mark);
    for (const char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

void checkDecoding(std::string_view bytes) {
    const std::u16string text = decodeStreamText(bytes);
    if (bytes.substr(0, 2) == kUtf16Mark) {
        const std::size_t units = bytes.size() >= 4 ? (bytes.size() - 2) / 2 : 0;
        check(text.size() == units, "UTF-16LE text has one unit per byte pair after the mark");
        for (std::size_t i = 0; i < units; ++i) {
            const auto low = static_cast<std::uint8_t>(bytes[2 + 2 * i]);
            const auto high = static_cast<std::uint8_t>(bytes[3 + 2 * i]);
            check(text[i] == static_cast<char16_t>(low | (high << 8)), "UTF-16LE unit copied");
        }
        return;
    }

    std::string_view rest = bytes;
    if (rest.substr(0, 3) == kUtf8Mark) {
        rest.remove_prefix(3);
    } else {
        // The UTF-8 mark changes nothing but itself.
        const std::string marked = std::string(kUtf8Mark) + std::string(bytes);
        check(decodeStreamText(marked) == text, "a UTF-8 mark in front changes the text");
    }
    if (fuzzing::isStrictUtf8(rest)) {
        check(!fuzzing::hasLoneSurrogate(text), "strict UTF-8 gives no lone surrogate");
        check(encodeName(text) == rest, "strict UTF-8 is decoded exactly");
    } else {
        check(text.size() == rest.size(), "the byte reading keeps one unit per byte");
        for (std::size_t i = 0; i < rest.size(); ++i) {
            check(text[i] == static_cast<std::uint8_t>(rest[i]), "the byte reading is Latin-1");
        }
    }
}

void checkValue(const std::u16string& value, const char* what) {
    check(value.find(u'\n') == std::u16string::npos, what);
    check(value.empty() || (!isWhitespace(value.front()) && !isWhitespace(value.back())), what);
}

void checkZoneInfo(const ZoneInfo& info) {
    check(info.isZoneIdentifier, "parsed content is always a Zone.Identifier");
    if (!info.zoneIdParsed) {
        check(info.zoneId == -1 && info.zone == kNoZone, "unparsed ZoneId keeps the defaults");
    } else {
        check(info.zoneIdPresent, "a parsed ZoneId was present");
        const bool documented = info.zoneId >= 0 && info.zoneId <= 4;
        check(info.zone == (documented ? static_cast<std::uint32_t>(info.zoneId) : kNoZone),
              "zone follows ZoneId within 0-4 only");
    }
    checkValue(info.hostUrl, "HostUrl is one trimmed line");
    checkValue(info.referrerUrl, "ReferrerUrl is one trimmed line");

    const std::u16string text = zoneText(info);
    if (info.zoneIdParsed && info.zone == kNoZone) {
        check(text == u"Unknown (" + widen(std::to_string(info.zoneId)) + u")",
              "an out-of-range ZoneId shows its exact number");
    } else if (info.zoneIdParsed) {
        check(text == zoneName(info.zone), "a documented zone shows its name");
    } else {
        check(text == (info.zoneIdPresent ? u"(unreadable ZoneId)" : u"(no ZoneId)"),
              "zone text without a number");
    }
}

// What was understood, written out plainly, must be understood the same way.
void checkRewrite(const ZoneInfo& info) {
    std::u16string text = u"[ZoneTransfer]\r\n";
    if (info.zoneIdPresent) {
        text += u"ZoneId=";
        text += info.zoneIdParsed ? widen(std::to_string(info.zoneId)) : u"x";
        text += u"\r\n";
    }
    text += u"HostUrl=" + info.hostUrl + u"\r\nReferrerUrl=" + info.referrerUrl + u"\r\n";
    const ZoneInfo again = parseZoneIdentifier(utf16leWithMark(text));
    check(again.zoneIdPresent == info.zoneIdPresent && again.zoneIdParsed == info.zoneIdParsed &&
              again.zoneId == info.zoneId && again.zone == info.zone,
          "ZoneId survives a rewrite");
    check(again.hostUrl == info.hostUrl && again.referrerUrl == info.referrerUrl,
          "URLs survive a rewrite");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzzing::bytesOf(data, size);
    checkDecoding(bytes);
    const ZoneInfo info = parseZoneIdentifier(bytes);
    checkZoneInfo(info);
    checkRewrite(info);
    return 0;
}
