// tessalin.exe itself under Wine: started with a folder on its command line as
// a user would start it, watched from outside through its windows, closed, and
// its exit code taken; and the manifest and version resource of the built file.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <string>
#include <thread>

#include "win32/temp_tree.h"

namespace streamscan {
namespace {

using wintest::TempTree;
using wintest::writeBytes;

using Clock = std::chrono::steady_clock;
constexpr auto kDeadline = std::chrono::seconds(60);

std::wstring programPath() {
    wchar_t self[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"tessalin.exe";
}

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

struct TopWindowSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found = nullptr;
};

BOOL CALLBACK matchTopWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<TopWindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (owner == search->processId && IsWindowVisible(window) &&
        wcscmp(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the process with that class, or null.
HWND topWindowOf(DWORD processId, const wchar_t* className) {
    TopWindowSearch search{processId, className};
    EnumWindows(matchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

template <typename Condition>
bool waitFor(Condition condition) {
    const auto end = Clock::now() + kDeadline;
    while (Clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::wstring windowText(HWND window) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1024);
    return buffer;
}

// Control messages carry no data across processes: the text is fetched into
// memory of the program's own and read back from there.
std::wstring statusPart(HANDLE process, HWND statusBar, int part) {
    constexpr SIZE_T kBytes = 4096;
    void* remote = VirtualAllocEx(process, nullptr, kBytes, MEM_COMMIT, PAGE_READWRITE);
    if (remote == nullptr)
        return L"(no memory in the program)";
    SendMessageW(statusBar, SB_GETTEXTW, static_cast<WPARAM>(part),
                 reinterpret_cast<LPARAM>(remote));
    wchar_t text[kBytes / sizeof(wchar_t)] = {};
    ReadProcessMemory(process, remote, text, kBytes - sizeof(wchar_t), nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    return text;
}

// The text of every child of a box, top to bottom (the message is one of them).
BOOL CALLBACK appendChildText(HWND child, LPARAM parameter) {
    *reinterpret_cast<std::wstring*>(parameter) += windowText(child) + L"\n";
    return TRUE;
}

TEST(TessalinExe, ScansItsArgumentExplainsTheEndAndExitsWithZeroWhenClosed) {
    TempTree tree;
    ASSERT_TRUE(writeBytes(tree / u"a.txt", "a"));
    std::wstring commandLine = L"\"" + programPath() + L"\" \"" +
                               reinterpret_cast<const wchar_t*>(tree.path().c_str()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process))
        << GetLastError();
    CloseHandle(process.hThread);
    // However the test ends, the program does not outlive it.
    struct Reaper {
        HANDLE process;
        ~Reaper() {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
                TerminateProcess(process, 99);
            CloseHandle(process);
        }
    } reaper{process.hProcess};

    // Wine's volumes hold no streams, so the scan ends with the box that says
    // the location sits on such a volume; it is answered as a user would.
    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = topWindowOf(process.dwProcessId, L"#32770")); }))
        << "no end-of-scan box";
    EXPECT_EQ(narrow(windowText(box)), "Tessalin");
    std::wstring boxTexts;
    EnumChildWindows(box, appendChildText, reinterpret_cast<LPARAM>(&boxTexts));
    EXPECT_NE(boxTexts.find(L"1 location in this scan sit on a volume that cannot hold one."),
              std::wstring::npos)
        << narrow(boxTexts);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }));

    HWND window = topWindowOf(process.dwProcessId, L"TessalinWindow");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(narrow(windowText(window)), "Tessalin");
    HWND statusBar = GetDlgItem(window, 1402);
    HWND list = GetDlgItem(window, 1401);
    ASSERT_NE(statusBar, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(narrow(statusPart(process.hProcess, statusBar, 0)), "Scan complete.");
    EXPECT_EQ(narrow(statusPart(process.hProcess, statusBar, 1)), "0 files, 0 folders");
    EXPECT_EQ(narrow(statusPart(process.hProcess, statusBar, 2)), "0 streams listed");
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
    // The manifest's DPI awareness reached the running window.
    using AwarenessOfWindow = HANDLE(WINAPI*)(HWND);
    using AwarenessOfContext = int(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto ofWindow = reinterpret_cast<AwarenessOfWindow>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
    const auto ofContext = reinterpret_cast<AwarenessOfContext>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    ASSERT_TRUE(ofWindow != nullptr && ofContext != nullptr);
    EXPECT_EQ(ofContext(ofWindow(window)), 2);  // per monitor

    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
    DWORD exitCode = 12345;
    ASSERT_TRUE(GetExitCodeProcess(process.hProcess, &exitCode));
    EXPECT_EQ(exitCode, 0u);
}

std::string manifestOf(const std::wstring& path) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return {};
    std::string text;
    if (HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
        if (HGLOBAL loaded = LoadResource(module, resource)) {
            text.assign(static_cast<const char*>(LockResource(loaded)),
                        SizeofResource(module, resource));
        }
    }
    FreeLibrary(module);
    return text;
}

TEST(TessalinExe, CarriesItsManifestAndVersionResource) {
    const std::string manifest = manifestOf(programPath());
    for (const char* part : {
             R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
             R"(publicKeyToken="6595b64144ccf1df")",
             R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
             R"(<assemblyIdentity type="win32" name="Tessalin" version="1.0.0.0")",
             ">true/pm</dpiAware>",
             ">PerMonitorV2</dpiAwareness>",
             ">true</longPathAware>",
         }) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
    }

    const std::wstring path = programPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);
}

}  // namespace
}  // namespace streamscan
