// The window at 144 dpi: its columns fitted for that DPI, and a screenshot over a
// scanned tree saved under the build folder for a person to look at. Wine reads
// its DPI from the registry when a process starts, so the 144 dpi window is made
// by a child run of this exe.
#include <filesystem>
#include <fstream>

#include "gui/window_fixture.h"
#include "window/layout.h"

namespace tessalin::gui {
namespace {

constexpr wchar_t kShotVariable[] = L"TESSALIN_SCREENSHOT";

// What the screen shows of the window as a 24-bit BMP (PrintWindow would miss
// what the list paints over itself).
void shoot(HWND window, const std::wstring& path) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpUntil([] { return false; }, 300ms);
    RECT r;
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB};
    std::vector<char> pixels(std::size_t((width * 3 + 3) / 4 * 4 * height));
    EXPECT_EQ(GetDIBits(memory, bitmap, 0, height, pixels.data(),
                        reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS),
              height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    const BITMAPFILEHEADER file{0x4D42, DWORD(sizeof file + sizeof info + pixels.size()), 0, 0,
                                sizeof file + sizeof info};
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    EXPECT_TRUE(out.write(pixels.data(), std::streamsize(pixels.size())));
}

// Run only as the child of the test below, which sets the system's DPI to 144.
TEST_F(WindowTest, DISABLED_ScreenshotAtTheSystemDpi) {
    wchar_t path[MAX_PATH] = {};
    if (GetEnvironmentVariableW(kShotVariable, path, MAX_PATH) == 0)
        GTEST_SKIP() << "run by Screenshot.At144Dpi";
    ASSERT_EQ(state->dpi, 144u);
    RECT list;
    GetWindowRect(state->listView, &list);
    scan();
    shoot(state->window, path);
    // The header tells the list when a divider drag ends; from then on the widths stay.
    NMHDR dragged{.hwndFrom = ListView_GetHeader(state->listView), .code = HDN_ENDTRACKW};
    SendMessageW(state->listView, WM_NOTIFY, 0, LPARAM(&dragged));
    SetWindowPos(state->window, nullptr, 0, 0, 1900, 1100, SWP_NOZORDER | SWP_NOMOVE);
    const ColumnWidths widths = fitColumnWidths(
        list.right - list.left, 144, GetSystemMetrics(SM_CXVSCROLL), scaledColumnWidths(144));
    for (int i = 0; i < kListColumnCount; ++i)
        EXPECT_EQ(ListView_GetColumnWidth(state->listView, i), widths[i]) << i;
}

TEST(Screenshot, At144Dpi) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::filesystem::path folder = std::filesystem::path(exe).parent_path() / "screenshots";
    std::filesystem::create_directories(folder);
    const std::wstring path = (folder / "main-144dpi.bmp").wstring();
    DeleteFileW(path.c_str());
    // The value Wine reads, put back as it was afterwards.
    const wchar_t* key = L"Control Panel\\Desktop";
    DWORD before = 0, size = sizeof before, dpi = 144;
    const bool had = RegGetValueW(HKEY_CURRENT_USER, key, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                                  &before, &size) == ERROR_SUCCESS;
    RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    std::wstring commandLine = L"\"" + std::wstring(exe) +
                               L"\" --gtest_also_run_disabled_tests "
                               L"--gtest_filter=WindowTest.DISABLED_ScreenshotAtTheSystemDpi";
    SetEnvironmentVariableW(kShotVariable, path.c_str());
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION child{};
    DWORD waited = WAIT_FAILED, exitCode = 1;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &child)) {
        waited = WaitForSingleObject(child.hProcess, 120000);
        TerminateProcess(child.hProcess, 1);  // when it did not finish in time
        GetExitCodeProcess(child.hProcess, &exitCode);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    SetEnvironmentVariableW(kShotVariable, nullptr);
    if (had)
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &before, sizeof before);
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels");
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the child did not finish within two minutes";
    EXPECT_EQ(exitCode, 0u) << "the window at 144 dpi did not look as it should";
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace tessalin::gui
