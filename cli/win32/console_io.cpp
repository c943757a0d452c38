// The console on Windows: UTF-16 to a console, UTF-8 bytes to anything else,
// and Ctrl+C through a console control handler.
#include <windows.h>

#include <string>

#include "cli/console.h"
#include "cli/console_state.h"
#include "cli/summary.h"

namespace tessalin::cli {
namespace {

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

}  // namespace

std::vector<streamscan::ItemIdentity> SystemConsole::fileIdentities() const {
    std::vector<streamscan::ItemIdentity> files;
    for (const DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE handle = handleOf(which);
        BY_HANDLE_FILE_INFORMATION info{};
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE &&
            GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info)) {
            files.push_back(
                {info.dwVolumeSerialNumber,
                 (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                 true});
        }
    }
    return files;
}

std::u16string hostName() {
    wchar_t name[256] = {};
    DWORD length = 256;
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &length))
        return {};
    return std::u16string(reinterpret_cast<const char16_t*>(name), length);
}

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

}  // namespace tessalin::cli
