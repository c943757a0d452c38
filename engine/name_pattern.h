// The one wildcard rule for names the user types (--name, --remove, --exclude,
// the window's filter): '*' stands for any run of code units, '?' for exactly
// one; the letters A-Z match in either case and everything else only itself.
#pragma once

#include <string_view>

namespace streamscan {

bool wildcardMatches(std::u16string_view pattern, std::u16string_view name);

}  // namespace streamscan
