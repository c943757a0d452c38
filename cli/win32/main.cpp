// tessalin-scan.exe on Windows.
#include <clocale>
#include <string>
#include <vector>

#include "cli/program.h"

int wmain(int argc, wchar_t** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    return tessalin::cli::runProgram(arguments);
}
