// Build-time tool: writes the manual page and the bash completion of
// tessalin-scan from its option table. Usage: make_manual PAGE COMPLETION
#include <cstdio>
#include <fstream>
#include <string>

#include "cli/manual.h"

namespace {

bool writeText(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: make_manual PAGE COMPLETION\n", stderr);
        return 64;
    }
    if (!writeText(argv[1], tessalin::cli::manualPage()) ||
        !writeText(argv[2], tessalin::cli::bashCompletion())) {
        std::fputs("make_manual: could not write the files\n", stderr);
        return 70;
    }
    return 0;
}
