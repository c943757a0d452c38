// tessalin-scan as a whole, from its arguments to its exit status; the entry
// points of each system (cli/posix/main.cpp, cli/win32/main.cpp) only turn
// their arguments into UTF-16 first.
#pragma once

#include <string>
#include <vector>

namespace tessalin::cli {

// Never throws: anything that escapes is said as an internal error (70).
int runProgram(const std::vector<std::u16string>& arguments);

}  // namespace tessalin::cli
