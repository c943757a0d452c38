#include "frontend/row_filter.h"

#include <limits>

#include "engine/assessment.h"
#include "engine/name_pattern.h"
#include "engine/unicode.h"

namespace tessalin {

bool RowFilter::passes(const streamscan::StreamRecord& record) const {
    if (!active())
        return true;
    if (record.streamName.empty())
        return false;
    if (record.streamSize < minimumSize)
        return false;
    if (flaggedOnly && record.severity != streamscan::kSeverityAlert &&
        record.severity != streamscan::kSeverityNotice) {
        return false;
    }
    if (namePatterns.empty())
        return true;
    for (const std::u16string& pattern : namePatterns) {
        if (wildcardMatches(pattern, record.streamName))
            return true;
    }
    return false;
}

bool wildcardMatches(std::u16string_view pattern, std::u16string_view name) {
    return streamscan::wildcardMatches(pattern, name);
}

std::optional<std::uint64_t> parseSizeArgument(std::u16string_view text) {
    std::uint64_t unit = 1;
    if (!text.empty()) {
        switch (streamscan::asciiLower(text.back())) {
            case u'k':
                unit = 1ull << 10;
                break;
            case u'm':
                unit = 1ull << 20;
                break;
            case u'g':
                unit = 1ull << 30;
                break;
            default:
                break;
        }
        if (unit != 1)
            text.remove_suffix(1);
    }
    if (text.empty())
        return std::nullopt;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const std::uint64_t digit = c - u'0';
        if (value > (kMax - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (value > kMax / unit)
        return std::nullopt;
    return value * unit;
}

}  // namespace tessalin
