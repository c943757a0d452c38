// The built programs under Wine, started as users start them. Wine keeps no
// named streams, so each scan meets a volume that cannot hold them; both say so.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <process.h>

#include <cstdio>
#include <string>

#include "engine/unicode.h"
#include "frontend/scan_texts.h"
#include "frontend/status_texts.h"
#include "window/command_ids.h"
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

TEST(ScannerOnWine, ExitCodesAndTheVolumeMessageReachTheCaller) {
    TempTree tree;
    const struct {
        std::wstring arguments;
        int exitCode;
        std::string says;
    } cases[] = {
        {L".", 2, utf8ForDisplay(volumeMessageFor(tree.path()))},  // run in the test's folder
        {L"--no-such-option", 64, "unknown option '--no-such-option'"},
    };
    wchar_t current[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH + 1, current);
    SetCurrentDirectoryW(wide(tree.path()).c_str());
    for (const auto& c : cases) {
        // As a script runs it: through cmd /c, which takes off the outer quotes.
        const std::wstring command =
            L"\"\"" + builtProgram(L"tessalin-scan.exe") + L"\" " + c.arguments + L" 2>&1\"";
        FILE* pipe = _wpopen(command.c_str(), L"rb");
        ASSERT_NE(pipe, nullptr);
        std::string output;
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) != 0;)
            output.append(buffer, got);
        EXPECT_EQ(_pclose(pipe), c.exitCode) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
    }
    SetCurrentDirectoryW(current);
}

// Control messages carry no data across processes: the text is fetched into
// memory of the program's own and read back from there.
std::u16string statusPart(HANDLE process, HWND statusBar, int part) {
    char16_t text[1024] = {};
    void* remote = VirtualAllocEx(process, nullptr, sizeof text, MEM_COMMIT, PAGE_READWRITE);
    SendMessageW(statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, text, sizeof text - 2, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return text;
}

TEST(TessalinExe, ScansItsArgumentExplainsTheEndAndExitsWithZeroWhenClosed) {
    TempTree tree;
    const std::wstring exe = builtProgram(L"tessalin.exe");
    const std::wstring root = L"\"" + wide(tree.path()) + L"\"";
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

    HWND window = FindWindowW(L"TessalinWindow", title);
    ASSERT_NE(window, nullptr);
    HWND statusBar = GetDlgItem(window, tessalin::kStatusBarId);
    const tessalin::StatusState ended{.scanEnded = true, .stats = {.volumesWithoutStreams = 1}};
    EXPECT_EQ(statusPart(app, statusBar, 0), tessalin::scanEndText(ended.stats, 0, 0));
    EXPECT_EQ(statusPart(app, statusBar, 1), tessalin::scanCountsText(ended));
    EXPECT_EQ(statusPart(app, statusBar, 2), tessalin::streamsListedText(ended));
    EXPECT_EQ(SendMessageW(GetDlgItem(window, tessalin::kListViewId), LVM_GETITEMCOUNT, 0, 0), 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 12345;
    EXPECT_EQ(WaitForSingleObject(app, 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(app, &exitCode) && exitCode == 0) << exitCode;
}

TEST(TessalinExe, CarriesItsManifestAndVersionResource) {
    const std::wstring file = builtProgram(L"tessalin.exe");
    HMODULE module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(resource, nullptr);
    const std::string manifest(
        static_cast<const char*>(LockResource(LoadResource(module, resource))),
        SizeofResource(module, resource));
    FreeLibrary(module);
    for (const char* part : {
             R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
             R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
             ">PerMonitorV2</dpiAwareness>",
             ">true</longPathAware>",
         }) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }

    EXPECT_GT(GetFileVersionInfoSizeW(file.c_str(), nullptr), 0u) << "a version resource";
}

}  // namespace
}  // namespace streamscan
