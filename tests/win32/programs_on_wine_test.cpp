// The built programs under Wine, started as users start them. Wine keeps no
// named streams, so each scan meets a volume that cannot hold them; both say so.
#include <gtest/gtest.h>
#include <windows.h>
#include <process.h>

#include <cstdlib>
#include <string>

#include "engine/unicode.h"
#include "frontend/scan_texts.h"
#include "window/product_info.h"
#include "win32/temp_tree.h"

namespace streamscan {
namespace {

using namespace wintest;

// A program built beside this test.
std::wstring builtProgram(const wchar_t* name) {
    wchar_t self[MAX_PATH + 1] = {};
    const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH + 1));
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

// What a scan of one folder on Wine's volume explains, in the window's box and
// on the console alike.
std::u16string volumeMessageFor(const std::u16string& root) {
    return tessalin::volumeMessageText(ScanStats{.volumesWithoutStreams = 1}, {root},
                                       nativeFileSystem());
}

TEST(ScannerOnWine, TheExitCodeAndTheVolumeMessageReachTheCaller) {
    TempTree tree;
    wchar_t current[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, current);
    SetCurrentDirectoryW(std::filesystem::path(tree.path()).c_str());
    // As a script runs it, through cmd /c, which takes off the outer quotes.
    const std::wstring command =
        L"\"\"" + builtProgram(L"tessalin-scan.exe") + L"\" . >output.txt 2>&1\"";
    EXPECT_EQ(_wsystem(command.c_str()), 2);
    const std::string output = readBytes(tree / u"output.txt").value_or("");
    EXPECT_NE(output.find(utf8ForDisplay(volumeMessageFor(tree.path()))), std::string::npos)
        << output;
    SetCurrentDirectoryW(current);
}

TEST(TessalinExe, CarriesItsResourcesScansItsArgumentAndExitsWithZeroWhenClosed) {
    TempTree tree;
    const std::wstring exe = builtProgram(L"tessalin.exe");
    // The manifest is the file the window tests carry too; they see what it says.
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
    FreeLibrary(module);
    EXPECT_GT(GetFileVersionInfoSizeW(exe.c_str(), nullptr), 0u) << "a version resource";
    const std::wstring root = L"\"" + std::filesystem::path(tree.path()).wstring() + L"\"";
    const auto app = reinterpret_cast<HANDLE>(
        _wspawnl(_P_NOWAIT, exe.c_str(), (L"\"" + exe + L"\"").c_str(), root.c_str(), nullptr));
    ASSERT_NE(app, INVALID_HANDLE_VALUE);
    // However the test ends, the program does not outlive it.
    const std::unique_ptr<void, void (*)(HANDLE)> reaper(app, [](HANDLE process) {
        TerminateProcess(process, 99);
        CloseHandle(process);
    });

    // The end-of-scan box, answered as a user would; its text is its control 0xFFFF.
    HWND box = nullptr;
    const auto* title = reinterpret_cast<const wchar_t*>(tessalin::kProductName.data());
    for (int wait = 0; wait < 1200 && !(box = FindWindowW(L"#32770", title)); ++wait)
        Sleep(50);
    ASSERT_NE(box, nullptr);
    char16_t text[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, reinterpret_cast<wchar_t*>(text), 4096);
    EXPECT_EQ(std::u16string(text), volumeMessageFor(tree.path()));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int wait = 0; wait < 1200 && IsWindow(box); ++wait)
        Sleep(50);

    // What the window shows then is seen by the in-process window tests.
    HWND window = FindWindowW(L"TessalinWindow", title);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 12345;
    EXPECT_EQ(WaitForSingleObject(app, 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(app, &exitCode) && exitCode == 0) << exitCode;
}

}  // namespace
}  // namespace streamscan
