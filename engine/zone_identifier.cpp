#include "engine/zone_identifier.h"

#include "engine/unicode.h"
#include "engine/value_text.h"

namespace streamscan {
namespace {

// Only these six count; a no-break or ideographic space is content.
bool isWhitespace(char16_t c) {
    return c == u' ' || (c >= 0x0009 && c <= 0x000D);
}

std::u16string latin1(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char b : bytes)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(b)));
    return out;
}

// Reads a ZoneId value: optional sign, ASCII digits only, within the signed
// 64-bit range. False leaves `value` untouched.
bool readZoneIdNumber(std::u16string_view text, std::int64_t& value) {
    if (text.empty())
        return false;
    bool negative = false;
    std::size_t pos = 0;
    if (text[0] == u'+' || text[0] == u'-') {
        negative = text[0] == u'-';
        pos = 1;
        if (pos == text.size())
            return false;
    }
    const std::uint64_t limit =
        negative ? std::uint64_t{9223372036854775808u} : std::uint64_t{9223372036854775807u};
    std::uint64_t accumulated = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t c = text[pos];
        if (c < u'0' || c > u'9')
            return false;
        const std::uint64_t digit = c - u'0';
        if (accumulated > (limit - digit) / 10)
            return false;
        accumulated = accumulated * 10 + digit;
    }
    if (negative) {
        // Unsigned negation reaches the most negative value without overflow.
        value = static_cast<std::int64_t>(0 - accumulated);
    } else {
        value = static_cast<std::int64_t>(accumulated);
    }
    return true;
}

}  // namespace

std::u16string decodeStreamText(std::string_view bytes) {
    if (bytes.empty())
        return {};
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        if (bytes.size() < 4)
            return {};
        std::u16string out;
        out.reserve((bytes.size() - 2) / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto low = static_cast<unsigned char>(bytes[i]);
            const auto high = static_cast<unsigned char>(bytes[i + 1]);
            out.push_back(static_cast<char16_t>(low | (high << 8)));
        }
        return out;
    }
    std::string_view rest = bytes;
    if (rest.size() >= 3 && static_cast<unsigned char>(rest[0]) == 0xEF &&
        static_cast<unsigned char>(rest[1]) == 0xBB &&
        static_cast<unsigned char>(rest[2]) == 0xBF) {
        rest.remove_prefix(3);
    }
    if (rest.empty())
        return {};
    // The Windows decoder takes an int length; beyond that the byte reading applies
    // on every platform alike.
    constexpr std::size_t kStrictLimit = std::size_t{1} << 31;
    if (rest.size() < kStrictLimit) {
        std::u16string decoded;
        if (decodeUtf8Strict(rest, decoded) && !decoded.empty())
            return decoded;
    }
    return latin1(rest);
}

std::u16string trimWhitespace(std::u16string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isWhitespace(text[begin]))
        ++begin;
    while (end > begin && isWhitespace(text[end - 1]))
        --end;
    return std::u16string(text.substr(begin, end - begin));
}

ZoneInfo parseZoneIdentifier(std::string_view bytes) {
    ZoneInfo info;
    info.isZoneIdentifier = true;
    const std::u16string text = decodeStreamText(bytes);

    // Entries before any header belong to ZoneTransfer.
    bool inSection = true;
    bool seenZoneId = false;
    bool seenHostUrl = false;
    bool seenReferrerUrl = false;

    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lineEnd = text.find(u'\n', lineStart);
        if (lineEnd == std::u16string::npos)
            lineEnd = text.size();
        const std::u16string line =
            trimWhitespace(std::u16string_view(text).substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        if (line.empty())
            continue;

        if (line[0] == u'[') {
            const std::size_t close = line.find(u']');
            if (close == std::u16string::npos)
                continue;
            const std::u16string name =
                trimWhitespace(std::u16string_view(line).substr(1, close - 1));
            inSection = equalsAsciiNoCase(name, u"ZoneTransfer");
            continue;
        }
        if (!inSection)
            continue;
        const std::size_t equals = line.find(u'=');
        if (equals == std::u16string::npos)
            continue;
        const std::u16string key = trimWhitespace(std::u16string_view(line).substr(0, equals));
        std::u16string value = trimWhitespace(std::u16string_view(line).substr(equals + 1));

        // The first occurrence of each key wins, even when it is empty or unreadable.
        if (equalsAsciiNoCase(key, u"ZoneId")) {
            if (seenZoneId)
                continue;
            seenZoneId = true;
            info.zoneIdPresent = true;
            std::int64_t number = 0;
            if (readZoneIdNumber(value, number)) {
                info.zoneIdParsed = true;
                info.zoneId = number;
                info.zone =
                    (number >= 0 && number <= 4) ? static_cast<std::uint32_t>(number) : kNoZone;
            }
        } else if (equalsAsciiNoCase(key, u"HostUrl")) {
            if (seenHostUrl)
                continue;
            seenHostUrl = true;
            info.hostUrl = std::move(value);
        } else if (equalsAsciiNoCase(key, u"ReferrerUrl")) {
            if (seenReferrerUrl)
                continue;
            seenReferrerUrl = true;
            info.referrerUrl = std::move(value);
        }
    }
    return info;
}

const char16_t* zoneName(std::uint32_t zone) {
    static constexpr const char16_t* kNames[] = {
        u"Local machine", u"Local intranet", u"Trusted sites", u"Internet", u"Restricted sites"};
    return zone <= 4 ? kNames[zone] : u"Unknown";
}

std::u16string reportZoneText(const ZoneInfo& zone) {
    if (!zone.isZoneIdentifier)
        return {};
    if (zone.zoneIdParsed)
        return zoneName(zone.zone);
    return zone.zoneIdPresent ? u"(unreadable ZoneId)" : u"(no ZoneId)";
}

std::u16string zoneText(const ZoneInfo& zone) {
    std::u16string out = reportZoneText(zone);
    if (zone.zoneIdParsed && zone.zone == kNoZone)
        out += u" (" + signedDecimal(zone.zoneId) + u")";
    return out;
}

}  // namespace streamscan
