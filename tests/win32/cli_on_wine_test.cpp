// tessalin-scan.exe under Wine, started the way a script starts it. Wine keeps
// no named streams, so every scan meets a volume that cannot hold them, and the
// scanner must say so and not pass the empty result off as clean.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win32/temp_tree.h"

namespace streamscan {
namespace {

using wintest::TempTree;
using wintest::wide;
using wintest::writeBytes;

std::u16string scannerPath() {
    wchar_t self[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    std::u16string path(reinterpret_cast<const char16_t*>(self), length);
    const std::size_t slash = path.find_last_of(u"\\/");
    return path.substr(0, slash + 1) + u"tessalin-scan.exe";
}

struct ScanRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;  // stdout and stderr together, UTF-8
};

ScanRun runScanner(const std::u16string& arguments) {
    ScanRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::u16string commandLine = u"\"" + scannerPath() + u"\" " + arguments;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(commandLine.data()), nullptr, nullptr,
                       TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (input != INVALID_HANDLE_VALUE)
        CloseHandle(input);
    if (!started) {
        CloseHandle(readEnd);
        run.output = "could not start the scanner: error " + std::to_string(GetLastError());
        return run;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        run.output.append(buffer, got);
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

std::string narrow(const std::u16string& text) {
    return std::string(text.begin(), text.end());
}

TEST(ScannerOnWine, AFolderOnAVolumeWithoutStreamsIsReportedAndNotCountedClean) {
    TempTree tree;
    ASSERT_FALSE(tree.path().empty());
    ASSERT_TRUE(writeBytes(tree / u"a.txt", "content"));
    const ScanRun run = runScanner(u"\"" + tree.path() + u"\"");
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    EXPECT_NE(run.output.find("Scan complete.\n0 files, 0 folders\n0 streams listed\n"
                              "\xE2\x9A\xA0 Not examined: 1 not NTFS (each place is named on "
                              "standard error)\n"
                              "This volume cannot hold alternate data streams.\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Alternate data streams are an NTFS feature, and 1 location in this "
                              "scan sit on a volume that cannot hold one.\n\n    " +
                              narrow(tree.path()) + "  (NTFS)"),
              std::string::npos)
        << run.output;
}

TEST(ScannerOnWine, UsageErrorsEndWith64) {
    const ScanRun run = runScanner(u"--no-such-option");
    EXPECT_EQ(run.exitCode, 64u);
    EXPECT_NE(run.output.find("tessalin-scan: unknown option '--no-such-option'"),
              std::string::npos)
        << run.output;
}

TEST(ScannerOnWine, TheDemoSaysThatThisVolumeKeepsNoStreams) {
    const ScanRun run = runScanner(u"--demo");
    const std::string intro = "Sample tree made in: ";
    ASSERT_EQ(run.output.rfind(intro, 0), 0u) << run.output;
    const std::string root = run.output.substr(intro.size(), run.output.find('\n') - intro.size());
    wintest::removeTree(std::u16string(root.begin(), root.end()));
    EXPECT_EQ(run.exitCode & 2u, 2u) << run.output;
    EXPECT_NE(run.output.find("does not keep alternate data streams, so no sample stream could be "
                              "written"),
              std::string::npos)
        << run.output;
}

}  // namespace
}  // namespace streamscan
