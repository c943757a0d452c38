#include "engine/value_text.h"

#include <algorithm>
#include <cstdio>

#include "engine/file_system.h"
#include "engine/platform_text.h"

namespace streamscan {
namespace {

constexpr const char16_t* kSizeUnits[] = {u"KB", u"MB", u"GB", u"TB", u"PB", u"EB"};
constexpr int kLastUnit = 5;

struct AttributeName {
    std::uint32_t bit;
    const char16_t* name;
};

// The attributes the list's column shows, in its order, not bit order.
constexpr AttributeName kShownAttributes[] = {
    {0x2, u"Hidden"},
    {0x4, u"System"},
    {0x1, u"Read-only"},
    {0x400, u"Reparse point"},
};

void appendPadded(std::u16string& out, int value, std::size_t width) {
    const std::u16string digits = plainDecimal(static_cast<std::uint64_t>(value < 0 ? 0 : value));
    if (digits.size() < width)
        out.append(width - digits.size(), u'0');
    out += digits;
}

}  // namespace

std::u16string plainDecimal(std::uint64_t number) {
    char16_t buffer[20];
    std::size_t pos = sizeof buffer / sizeof buffer[0];
    do {
        buffer[--pos] = static_cast<char16_t>(u'0' + number % 10);
        number /= 10;
    } while (number != 0);
    return std::u16string(buffer + pos, buffer + sizeof buffer / sizeof buffer[0]);
}

std::u16string signedDecimal(std::int64_t number) {
    if (number >= 0)
        return plainDecimal(static_cast<std::uint64_t>(number));
    // Negate in unsigned arithmetic so the most negative value has a magnitude too.
    const std::uint64_t magnitude = 0 - static_cast<std::uint64_t>(number);
    std::u16string out = u"-";
    out += plainDecimal(magnitude);
    return out;
}

std::u16string decimalText(std::uint32_t number) {
    return plainDecimal(number);
}

std::u16string sizeText(std::uint64_t bytes) {
    if (bytes < 1024)
        return plainDecimal(bytes) + u" B";

    std::uint64_t unit = 1024;
    int index = 0;
    while (index < kLastUnit && bytes >= unit * 1024) {
        unit *= 1024;
        ++index;
    }
    // Neither product can overflow: the remainder is below 2^60 at the largest unit.
    std::uint64_t whole = bytes / unit;
    const std::uint64_t tenth = (unit / 2 + (bytes % unit) * 10) / unit;
    std::uint64_t fraction = tenth;
    if (tenth >= 10) {
        fraction = 0;
        ++whole;
    }
    if (whole >= 1024 && index < kLastUnit) {
        whole = 1;
        ++index;
    }
    std::u16string out = plainDecimal(whole);
    out.push_back(u'.');
    out.push_back(static_cast<char16_t>(u'0' + fraction));
    out.push_back(u' ');
    out += kSizeUnits[index];
    return out;
}

std::u16string streamSizeText(std::uint64_t bytes, bool atLeast) {
    return atLeast ? u"at least " + sizeText(bytes) : sizeText(bytes);
}

std::u16string timeText(std::uint64_t fileTime) {
    if (fileTime == 0)
        return {};
    CivilTime t;
    if (!localTimeOf(fileTime, t))
        return {};
    std::u16string out;
    out.reserve(19);
    appendPadded(out, t.year, 4);
    out.push_back(u'-');
    appendPadded(out, t.month, 2);
    out.push_back(u'-');
    appendPadded(out, t.day, 2);
    out.push_back(u' ');
    appendPadded(out, t.hour, 2);
    out.push_back(u':');
    appendPadded(out, t.minute, 2);
    out.push_back(u':');
    appendPadded(out, t.second, 2);
    return out;
}

std::u16string attributesText(std::uint32_t attributes) {
    std::u16string out;
    for (const auto& entry : kShownAttributes) {
        if ((attributes & entry.bit) == 0)
            continue;
        if (!out.empty())
            out += u", ";
        out += entry.name;
    }
    return out;
}

std::u16string groupDigits(std::uint64_t number, std::u16string_view separator) {
    const std::u16string digits = plainDecimal(number);
    std::u16string out;
    out.reserve(digits.size() + (digits.size() / 3) * separator.size());
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0)
            out += separator;
        out.push_back(digits[i]);
    }
    return out;
}

std::u16string groupedNumber(std::uint64_t number) {
    // Asked on every call, so a change of the user's settings shows in the next text.
    const std::u16string separator = userThousandsSeparator();
    return groupDigits(number, separator.empty() ? std::u16string_view(u",") : separator);
}

std::u16string countPhrase(std::uint64_t count, std::u16string_view singular,
                           std::u16string_view plural) {
    std::u16string out = groupedNumber(count);
    out.push_back(u' ');
    out += count == 1 ? singular : plural;
    return out;
}

void appendCountPhrase(std::u16string& text, std::uint64_t count, std::u16string_view word) {
    if (count == 0)
        return;
    if (!text.empty())
        text += u", ";
    text += groupedNumber(count);
    text.push_back(u' ');
    text += word;
}

std::string isoUtcText(const Timestamp& time) {
    if (time.digits == 0)
        return {};
    // Days and seconds since 1970-01-01, then the civil date of those days.
    constexpr std::int64_t kDay = 86400;
    std::int64_t days = time.unixSeconds / kDay;
    std::int64_t second = time.unixSeconds % kDay;
    if (second < 0) {
        second += kDay;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld",
                  static_cast<long long>(year), static_cast<long long>(month),
                  static_cast<long long>(day), static_cast<long long>(second / 3600),
                  static_cast<long long>(second / 60 % 60), static_cast<long long>(second % 60));
    std::string result = text;
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, ".%09u", time.nanoseconds % 1000000000u);
    result.append(fraction, 1 + std::min<std::size_t>(time.digits, 9));
    return result + "Z";
}

Timestamp timestampOfFileTime(std::uint64_t fileTime) {
    if (fileTime == 0)
        return {};
    constexpr std::uint64_t kTicksPerSecond = 10000000;
    constexpr std::int64_t kEpochDifference = 11644473600;  // 1601-01-01 to 1970-01-01
    return {static_cast<std::int64_t>(fileTime / kTicksPerSecond) - kEpochDifference,
            static_cast<std::uint32_t>(fileTime % kTicksPerSecond) * 100, 7};
}

}  // namespace streamscan
