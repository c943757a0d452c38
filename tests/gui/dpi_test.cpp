// The window at 144 dpi keeps the column widths fitted for that DPI once a divider
// has been dragged. Wine reads its DPI from the registry when a process starts,
// so the 144 dpi window is made by a child run of this exe.
#include "gui/window_fixture.h"
#include "window/layout.h"

namespace tessalin::gui {
namespace {

constexpr wchar_t kChildVariable[] = L"TESSALIN_DPI_CHILD";

// Run only as the child of the test below, which sets the system's DPI to 144.
TEST_F(WindowTest, DISABLED_ColumnsAtTheSystemDpi) {
    if (GetEnvironmentVariableW(kChildVariable, nullptr, 0) == 0)
        GTEST_SKIP() << "run by Dpi.ColumnsAt144";
    ASSERT_EQ(state->dpi, 144u);
    RECT list;
    GetWindowRect(state->listView, &list);
    scan();
    // The header tells the list when a divider drag ends; from then on the widths stay.
    NMHDR dragged{.hwndFrom = ListView_GetHeader(state->listView), .code = HDN_ENDTRACKW};
    SendMessageW(state->listView, WM_NOTIFY, 0, LPARAM(&dragged));
    SetWindowPos(state->window, nullptr, 0, 0, 1900, 1100, SWP_NOZORDER | SWP_NOMOVE);
    const ColumnWidths widths = fitColumnWidths(
        list.right - list.left, 144, GetSystemMetrics(SM_CXVSCROLL), scaledColumnWidths(144));
    for (int i = 0; i < kListColumnCount; ++i)
        EXPECT_EQ(ListView_GetColumnWidth(state->listView, i), widths[i]) << i;
}

TEST(Dpi, ColumnsAt144) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    // The value Wine reads, put back as it was afterwards.
    const wchar_t* key = L"Control Panel\\Desktop";
    DWORD before = 0, size = sizeof before, dpi = 144;
    const bool had = RegGetValueW(HKEY_CURRENT_USER, key, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                                  &before, &size) == ERROR_SUCCESS;
    RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    std::wstring commandLine = L"\"" + std::wstring(exe) +
                               L"\" --gtest_also_run_disabled_tests "
                               L"--gtest_filter=WindowTest.DISABLED_ColumnsAtTheSystemDpi";
    SetEnvironmentVariableW(kChildVariable, L"1");
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION child{};
    DWORD waited = WAIT_FAILED, exitCode = 1;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &child)) {
        const OwnedHandle process{child.hProcess}, thread{child.hThread};
        waited = WaitForSingleObject(process.get(), 120000);
        TerminateProcess(process.get(), 1);  // when it did not finish in time
        GetExitCodeProcess(process.get(), &exitCode);
    }
    SetEnvironmentVariableW(kChildVariable, nullptr);
    if (had)
        RegSetKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels", REG_DWORD, &before, sizeof before);
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"LogPixels");
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the child did not finish within two minutes";
    EXPECT_EQ(exitCode, 0u) << "the columns at 144 dpi did not keep their widths";
}

}  // namespace
}  // namespace tessalin::gui
