#include "cli/console.h"

#include <cstdlib>
#include <string>

#include "cli/row_format.h"
#include "cli/summary.h"
#include "engine/unicode.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tessalin::cli {
namespace {

// Enough to keep the number of write calls small when rows go to a file or pipe.
constexpr std::size_t kOutputChunk = 65536;

std::atomic<bool>* interruptFlag = nullptr;
std::atomic<bool> progressShown{false};
std::atomic<bool> removalUnderway{false};
std::atomic<bool> colourInUse{false};

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

#ifdef _WIN32

HANDLE handleOf(DWORD which) {
    return GetStdHandle(which);
}

bool isConsole(DWORD which) {
    DWORD mode = 0;
    const HANDLE handle = handleOf(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

int consoleWidth(DWORD which) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(handleOf(which), &info))
        return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

// A console takes UTF-16, whatever its code page; anything else gets the UTF-8 bytes.
bool writeAll(DWORD which, std::string_view text) {
    const HANDLE handle = handleOf(which);
    if (text.empty())
        return true;
    if (isConsole(which)) {
        const int length =
            MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            length);
        std::size_t done = 0;
        while (done < wide.size()) {
            DWORD written = 0;
            if (!WriteConsoleW(handle, wide.data() + done, static_cast<DWORD>(wide.size() - done),
                               &written, nullptr) ||
                written == 0) {
                return false;
            }
            done += written;
        }
        return true;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                       nullptr) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    if ((interruptFlag == nullptr || interruptFlag->exchange(true)) && !removalUnderway.load()) {
        if (progressShown.load())
            writeAll(STD_ERROR_HANDLE, "\n");
        if (colourInUse.load())
            writeAll(STD_OUTPUT_HANDLE, "\x1b[0m");
        ExitProcess(kExitInterrupted);
    }
    return TRUE;
}

#else

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

#endif

}  // namespace

const char* environmentValue(const char* name) {
    return std::getenv(name);
}

std::u16string hostName() {
#ifdef _WIN32
    wchar_t name[256] = {};
    DWORD length = 256;
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &length))
        return {};
    return std::u16string(reinterpret_cast<const char16_t*>(name), length);
#else
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return streamscan::decodeName(name);
#endif
}

void setProgressLineShown(bool shown) {
    progressShown.store(shown);
}

void setColourInUse(bool inUse) {
    colourInUse.store(inUse);
}

#ifdef _WIN32

SystemConsole::SystemConsole() {
    outTerminal = isConsole(STD_OUTPUT_HANDLE);
    errTerminal = isConsole(STD_ERROR_HANDLE);
    inTerminal = isConsole(STD_INPUT_HANDLE);
    if (outTerminal) {
        DWORD mode = 0;
        const HANDLE handle = handleOf(STD_OUTPUT_HANDLE);
        // Colour needs escape sequences, which older consoles do not take.
        colour = GetConsoleMode(handle, &mode) &&
                 SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

int SystemConsole::outWidth() const {
    const int width = outTerminal ? consoleWidth(STD_OUTPUT_HANDLE) : 0;
    return width > 0 ? width : widthFromEnvironment();
}

int SystemConsole::errWidth() const {
    const int width = errTerminal ? consoleWidth(STD_ERROR_HANDLE) : 0;
    return width > 0 ? width : widthFromEnvironment();
}

void SystemConsole::writeOut(std::string_view text) {
    if (!failed && !writeAll(STD_OUTPUT_HANDLE, text))
        failed = true;
}

void SystemConsole::err(std::string_view text) {
    writeAll(STD_ERROR_HANDLE, text);
}

std::optional<std::string> SystemConsole::readLine() {
    const HANDLE input = handleOf(STD_INPUT_HANDLE);
    std::string line;
    for (;;) {
        if (interruptFlag != nullptr && interruptFlag->load())
            return std::nullopt;
        char c = 0;
        DWORD got = 0;
        if (!ReadFile(input, &c, 1, &got, nullptr) || got == 0)
            return line.empty() ? std::nullopt : std::optional<std::string>(line);
        if (c == '\n')
            return line;
        if (c != '\r')
            line += c;
    }
}

void installInterruptHandler(std::atomic<bool>& cancel) {
    interruptFlag = &cancel;
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

#else

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

#endif

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
