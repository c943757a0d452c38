// Screenshots of the window at 96 and at 144 dpi, saved under the build folder
// for a person to look at. Wine reads its DPI from the registry when a process
// starts, so the 144 dpi window is made by a child run of this exe.
#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "gui/gui_support.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

using namespace std::chrono_literals;

constexpr wchar_t kShotVariable[] = L"TESSALIN_SCREENSHOT";
constexpr wchar_t kDpiVariable[] = L"TESSALIN_EXPECTED_DPI";

std::wstring environmentValue(const wchar_t* name) {
    wchar_t buffer[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length == 0 || length >= 1024 ? std::wstring() : std::wstring(buffer);
}

class ScreenshotTest : public MainWindowTest {
  protected:
    void fill() {
        streamscan::StreamRecord zone =
            makeRecord(u"C:\\Users\\ana\\Downloads", u"setup.exe", u"Zone.Identifier", 92, 1);
        zone.zone.isZoneIdentifier = zone.zone.zoneIdPresent = zone.zone.zoneIdParsed = true;
        zone.zone.zone = 3;
        zone.zone.zoneId = 3;
        zone.zone.hostUrl = u"https://downloads.example.com/setup.exe";
        zone.note = u"Downloaded from the Internet";
        streamscan::StreamRecord hidden =
            makeRecord(u"C:\\Users\\ana\\Documents", u"report.docx", u"payload.exe", 48128, 2);
        hidden.head = {0x4D, 0x5A, 0x90, 0x00};
        hidden.headLength = 4;
        hidden.note = u"Executable content hidden in a stream";
        streamscan::StreamRecord plain =
            makeRecord(u"C:\\Users\\ana\\Pictures", u"photo\u202Egpj.exe", u"thumbs", 2048, 0);
        addRecords({zone, hidden, plain});
        state->stats.files = 204;
        state->stats.folders = 87;
        state->stats.itemsWithStreams = 3;
        state->stats.accessDenied = 2;
        state->scanEnded = true;
        state->lastRoots = {u"C:\\Users\\ana"};
        setStatusText(*state, u"Scan complete.");
        refreshEmptyListText(*state);
        refreshStatusBar(*state);
        updateCommandStates(*state);
    }

    void save(const std::wstring& path) {
        SetForegroundWindow(state->window);
        RedrawWindow(state->window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        pumpFor(300ms);
        ASSERT_TRUE(saveWindowBitmap(state->window, path));
    }
};

TEST_F(ScreenshotTest, MainWindowAt96Dpi) {
    if (state->dpi != 96)
        GTEST_SKIP() << "the system runs at " << state->dpi << " dpi";
    RECT r;
    GetWindowRect(state->window, &r);
    EXPECT_EQ(r.right - r.left, 1120);
    EXPECT_EQ(r.bottom - r.top, 680);
    fill();
    save(screenshotFolder() + L"\\main-96dpi.bmp");
}

// Run only as the child of the test below, with the DPI it expects.
TEST_F(ScreenshotTest, DISABLED_MainWindowAtTheSystemDpi) {
    const std::wstring path = environmentValue(kShotVariable);
    if (path.empty())
        GTEST_SKIP() << "run by ScreenshotTest.MainWindowAt144Dpi";
    const std::uint32_t expected =
        static_cast<std::uint32_t>(_wtoi(environmentValue(kDpiVariable).c_str()));
    ASSERT_EQ(state->dpi, expected);
    RECT r;
    GetWindowRect(state->window, &r);
    EXPECT_EQ(r.right - r.left, 1680);
    EXPECT_EQ(r.bottom - r.top, 1020);
    RECT button;
    GetWindowRect(GetDlgItem(state->window, 1001), &button);
    EXPECT_EQ(button.right - button.left, 177);
    EXPECT_EQ(button.bottom - button.top, 39);
    MINMAXINFO info{};
    SendMessageW(state->window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 1350);
    EXPECT_EQ(info.ptMinTrackSize.y, 630);
    fill();
    save(path);
}

// One registry value, put back as it was when the test ends.
class RegistryValue {
  public:
    RegistryValue(HKEY root, const wchar_t* key, const wchar_t* name) : name_(name) {
        if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                            &key_, nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        DWORD value = 0, size = sizeof value, type = 0;
        if (RegQueryValueExW(key_, name_, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD) {
            previous_ = value;
        }
    }
    ~RegistryValue() {
        if (key_ == nullptr)
            return;
        if (previous_) {
            RegSetValueExW(key_, name_, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*previous_),
                           sizeof(DWORD));
        } else {
            RegDeleteValueW(key_, name_);
        }
        RegCloseKey(key_);
    }
    bool set(DWORD value) {
        return key_ != nullptr &&
               RegSetValueExW(key_, name_, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                              sizeof value) == ERROR_SUCCESS;
    }

  private:
    HKEY key_ = nullptr;
    const wchar_t* name_;
    std::optional<DWORD> previous_;
};

TEST(Screenshot, MainWindowAt144Dpi) {
    const std::wstring path = screenshotFolder() + L"\\main-144dpi.bmp";
    DeleteFileW(path.c_str());
    DWORD exitCode = 1;
    {
        RegistryValue desktop(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
        RegistryValue fonts(HKEY_CURRENT_CONFIG, L"Software\\Fonts", L"LogPixels");
        ASSERT_TRUE(desktop.set(144));
        fonts.set(144);

        wchar_t exe[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        std::wstring commandLine =
            L"\"" + std::wstring(exe) +
            L"\" --gtest_also_run_disabled_tests "
            L"--gtest_filter=ScreenshotTest.DISABLED_MainWindowAtTheSystemDpi";
        SetEnvironmentVariableW(kShotVariable, path.c_str());
        SetEnvironmentVariableW(kDpiVariable, L"144");
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child{};
        const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                            nullptr, nullptr, &startup, &child);
        SetEnvironmentVariableW(kShotVariable, nullptr);
        SetEnvironmentVariableW(kDpiVariable, nullptr);
        ASSERT_TRUE(started);
        const DWORD waited = WaitForSingleObject(child.hProcess, 120000);
        if (waited != WAIT_OBJECT_0)
            TerminateProcess(child.hProcess, 1);
        GetExitCodeProcess(child.hProcess, &exitCode);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
        ASSERT_EQ(waited, WAIT_OBJECT_0) << "the child did not finish within two minutes";
    }
    EXPECT_EQ(exitCode, 0u) << "the window at 144 dpi did not look as it should";
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace tessalin::gui
