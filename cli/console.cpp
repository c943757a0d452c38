// What the console does alike on every system; cli/posix/console_io.cpp and
// cli/win32/console_io.cpp hold the rest.
#include "cli/console.h"

#include <cstdlib>
#include <string>

#include "cli/console_state.h"
#include "cli/row_format.h"

namespace tessalin::cli {

std::atomic<bool>* interruptFlag = nullptr;
std::atomic<bool> progressShown{false};
std::atomic<bool> removalUnderway{false};
std::atomic<bool> colourInUse{false};

namespace {

// Enough to keep the number of write calls small when rows go to a file or pipe.
constexpr std::size_t kOutputChunk = 65536;

}  // namespace

int widthFromEnvironment() {
    const char* columns = environmentValue("COLUMNS");
    if (columns != nullptr) {
        char* end = nullptr;
        const long value = std::strtol(columns, &end, 10);
        if (end != columns && *end == '\0' && value > 0 && value < 100000)
            return static_cast<int>(value);
    }
    return kDefaultWidth;
}

const char* environmentValue(const char* name) {
    return std::getenv(name);
}

void setProgressLineShown(bool shown) {
    progressShown.store(shown);
}

void setColourInUse(bool inUse) {
    colourInUse.store(inUse);
}

RemovalUnderway::RemovalUnderway() {
    removalUnderway.store(true);
}

RemovalUnderway::~RemovalUnderway() {
    removalUnderway.store(false);
}

SystemConsole::~SystemConsole() {
    flushOut();
}

void SystemConsole::out(std::string_view text) {
    pending += text;
    // A terminal shows each row as it is found; a file or pipe gets large pieces.
    if (outTerminal || pending.size() >= kOutputChunk)
        flushOut();
}

void SystemConsole::flushOut() {
    if (pending.empty())
        return;
    writeOut(pending);
    pending.clear();
}

}  // namespace tessalin::cli
