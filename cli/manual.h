// The manual page and the bash completion of tessalin-scan, made from the
// option table and the texts --help shows, so that none of the three can say
// something the others do not. Written at build time by cli/tools/make_manual.cpp.
#pragma once

#include <string>

namespace tessalin::cli {

// The page in roff (man(7)), UTF-8: name, synopsis, description, every option,
// the output, the exit status, the files it writes, and examples.
std::string manualPage();

// A bash completion script: every option, and files or folders for the
// options that take them.
std::string bashCompletion();

}  // namespace tessalin::cli
