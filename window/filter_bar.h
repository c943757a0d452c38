// The filter bar above the list without a window: what its three controls
// mean as a row filter, and the texts that say what the filter hides. The
// filter is the console's own (frontend/row_filter.h), so both narrow alike.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frontend/row_filter.h"

namespace tessalin {

struct FilterBarInput {
    std::u16string namePattern;  // '*' and '?'; empty: every name
    bool flaggedOnly = false;
    std::u16string minimumSize;  // digits with K, M or G; empty: no minimum
};

struct FilterBarReading {
    RowFilter filter;
    bool sizeUnderstood = true;  // false: the minimum size was not a size and plays no part
};

FilterBarReading readFilterBar(const FilterBarInput& input);

inline constexpr std::u16string_view kSizeNotUnderstoodText =
    u"The minimum size is not a size: give digits, with K, M or G for KiB, MiB or GiB.";

// Status part 2: the streams listed and, when the filter hides rows, how many.
std::u16string streamsPartText(std::u16string_view streamsListed, std::uint64_t hiddenRows);

// The empty list's text when every row is hidden by the filter.
std::u16string nothingMatchesText(std::uint64_t hiddenRows);

}  // namespace tessalin
