// tessalin-scan on Linux.
#include <clocale>
#include <string>
#include <vector>

#include "cli/program.h"
#include "engine/unicode.h"

int main(int argc, char** argv) {
    // The thousands separator and the collation come from the user's locale.
    std::setlocale(LC_ALL, "");
    std::vector<std::u16string> arguments;
    // Names are bytes: decoded losslessly, so any name reaches the right file.
    for (int i = 1; i < argc; ++i)
        arguments.push_back(streamscan::decodeName(argv[i]));
    return tessalin::cli::runProgram(arguments);
}
