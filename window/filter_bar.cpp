#include "window/filter_bar.h"

#include "engine/value_text.h"

namespace tessalin {
namespace {

std::u16string_view trimmed(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == u' ')
        text.remove_suffix(1);
    return text;
}

}  // namespace

FilterBarReading readFilterBar(const FilterBarInput& input) {
    FilterBarReading reading;
    const std::u16string_view pattern = trimmed(input.namePattern);
    if (!pattern.empty())
        reading.filter.namePatterns.emplace_back(pattern);
    reading.filter.flaggedOnly = input.flaggedOnly;
    const std::u16string_view size = trimmed(input.minimumSize);
    if (!size.empty()) {
        const auto parsed = parseSizeArgument(size);
        reading.sizeUnderstood = parsed.has_value();
        reading.filter.minimumSize = parsed.value_or(0);
    }
    return reading;
}

std::u16string streamsPartText(std::u16string_view streamsListed, std::uint64_t hiddenRows) {
    std::u16string text(streamsListed);
    if (hiddenRows != 0) {
        text += u", ";
        text += streamscan::groupedNumber(hiddenRows);
        text += u" hidden by the filter";
    }
    return text;
}

std::u16string nothingMatchesText(std::uint64_t hiddenRows) {
    return u"Nothing matches the filter: " +
           streamscan::countPhrase(hiddenRows, u"row is", u"rows are") + u" hidden.";
}

}  // namespace tessalin
