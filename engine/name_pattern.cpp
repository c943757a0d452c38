#include "engine/name_pattern.h"

#include "engine/unicode.h"

namespace streamscan {

bool wildcardMatches(std::u16string_view pattern, std::u16string_view name) {
    // Greedy with one back-track point: the last '*' seen and where it started to match.
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::u16string_view::npos;
    std::size_t starMatch = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' ||
             (pattern[p] != u'*' && asciiLower(pattern[p]) == asciiLower(name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            starMatch = n;
        } else if (starAt != std::u16string_view::npos) {
            p = starAt + 1;
            n = ++starMatch;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

}  // namespace streamscan
