// The filters of a scan's rows: which stream names, how large, how serious. A
// filter narrows what is shown, reported, extracted and offered for removal, in
// the console and in the window alike; it never changes what the scan counts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scan_types.h"

namespace tessalin {

struct RowFilter {
    std::vector<std::u16string> namePatterns;  // any one may match; none means every name
    std::uint64_t minimumSize = 0;
    bool flaggedOnly = false;  // only Alert and Notice rows

    bool active() const { return !namePatterns.empty() || minimumSize != 0 || flaggedOnly; }
    // An item row has no stream name, size or severity, so any filter leaves it out.
    bool passes(const streamscan::StreamRecord& record) const;
};

// '*' stands for any run of code units, '?' for exactly one; the letters A-Z
// match in either case and everything else only itself.
bool wildcardMatches(std::u16string_view pattern, std::u16string_view name);

// Digits with an optional K, M or G (any case, powers of 1024). None when the
// text is not such a size or the size passes 2^64 - 1.
std::optional<std::uint64_t> parseSizeArgument(std::u16string_view text);

}  // namespace tessalin
