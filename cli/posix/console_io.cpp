// The console on Linux: file descriptors 0, 1 and 2, and Ctrl+C through a
// SIGINT handler that only touches atomics.
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "cli/console.h"
#include "cli/console_state.h"
#include "cli/summary.h"
#include "engine/unicode.h"

namespace tessalin::cli {
namespace {

bool writeAll(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int terminalWidth(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

// Only async-signal-safe calls: atomics, write and _exit.
void onInterrupt(int) {
    if ((interruptFlag == nullptr || interruptFlag->exchange(true)) && !removalUnderway.load()) {
        if (progressShown.load())
            (void)!write(2, "\n", 1);
        if (colourInUse.load())
            (void)!write(1, "\x1b[0m", 4);
        _exit(kExitInterrupted);
    }
}

}  // namespace

std::vector<streamscan::ItemIdentity> SystemConsole::fileIdentities() const {
    std::vector<streamscan::ItemIdentity> files;
    for (const int fd : {1, 2}) {
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
            files.push_back({static_cast<std::uint64_t>(st.st_dev),
                             static_cast<std::uint64_t>(st.st_ino), true});
    }
    return files;
}

std::u16string hostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return streamscan::decodeName(name);
}

SystemConsole::SystemConsole() {
    outTerminal = isatty(1) == 1;
    errTerminal = isatty(2) == 1;
    inTerminal = isatty(0) == 1;
    colour = outTerminal;
}

int SystemConsole::outWidth() const {
    const int width = outTerminal ? terminalWidth(1) : 0;
    return width > 0 ? width : widthFromEnvironment();
}

int SystemConsole::errWidth() const {
    const int width = errTerminal ? terminalWidth(2) : 0;
    return width > 0 ? width : widthFromEnvironment();
}

void SystemConsole::writeOut(std::string_view text) {
    if (!failed && !writeAll(1, text))
        failed = true;
}

void SystemConsole::err(std::string_view text) {
    writeAll(2, text);
}

std::optional<std::string> SystemConsole::readLine() {
    std::string line;
    for (;;) {
        // Waits in short steps, so a Ctrl+C at the question is taken as No.
        if (interruptFlag != nullptr && interruptFlag->load())
            return std::nullopt;
        pollfd input{0, POLLIN, 0};
        const int ready = poll(&input, 1, 100);
        if (ready < 0 && errno != EINTR)
            return std::nullopt;
        if (ready <= 0)
            continue;
        char c = 0;
        const ssize_t n = read(0, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return line.empty() ? std::nullopt : std::optional<std::string>(line);
        if (c == '\n')
            return line;
        line += c;
    }
}

void installInterruptHandler(std::atomic<bool>& cancel) {
    interruptFlag = &cancel;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Restarted calls: an interrupted listing must not count as a failed one.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace tessalin::cli
