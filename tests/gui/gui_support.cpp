#include "gui/gui_support.h"

#include <filesystem>
#include <fstream>

#include "window/command_ids.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

// The test exe has no manifest of its own: the same Common Controls 6 and DPI
// awareness as the product are brought in at start-up, so the window behaves
// as it does in tessalin.exe.
constexpr char kManifest[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <dependency><dependentAssembly>
    <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
      processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
  </dependentAssembly></dependency>
</assembly>
)";

class GuiEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        manifestPath_ = std::wstring(folder) + L"tessalin-gui-tests-" +
                        std::to_wstring(GetCurrentProcessId()) + L".manifest";
        {
            std::ofstream out(std::filesystem::path(manifestPath_), std::ios::binary);
            out << kManifest;
        }
        ACTCTXW context{};
        context.cbSize = sizeof context;
        context.lpSource = manifestPath_.c_str();
        activationContext_ = CreateActCtxW(&context);
        if (activationContext_ != INVALID_HANDLE_VALUE)
            ActivateActCtx(activationContext_, &cookie_);

        using SetAwareness = BOOL(WINAPI*)(HANDLE);
        if (auto set = reinterpret_cast<SetAwareness>(reinterpret_cast<void*>(GetProcAddress(
                GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")))) {
            set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));  // per monitor v2
        }
        INITCOMMONCONTROLSEX controls{
            sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        ASSERT_TRUE(registerMainWindowClass(GetModuleHandleW(nullptr)));
    }
    void TearDown() override {
        if (cookie_ != 0)
            DeactivateActCtx(0, cookie_);
        if (activationContext_ != INVALID_HANDLE_VALUE)
            ReleaseActCtx(activationContext_);
        DeleteFileW(manifestPath_.c_str());
    }

  private:
    std::wstring manifestPath_;
    HANDLE activationContext_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace

int RecordingUiSeam::messageBox(NativeWindow owner, std::u16string_view text,
                                std::u16string_view caption, std::uint32_t style) {
    boxes.push_back(
        {static_cast<HWND>(owner), std::u16string(text), std::u16string(caption), style});
    return answer;
}

std::intptr_t RecordingUiSeam::shellExecute(NativeWindow, std::u16string_view verb,
                                            std::u16string_view file,
                                            std::u16string_view parameters, int showCommand) {
    shellCalls.push_back(
        {std::u16string(verb), std::u16string(file), std::u16string(parameters), showCommand});
    return shellResult;
}

bool RecordingUiSeam::setClipboardText(NativeWindow, std::u16string_view text) {
    clipboardTexts.emplace_back(text);
    return true;
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               HWND acceleratorWindow, HACCEL accelerators) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                continue;
            dispatchWithAccelerators(message, acceleratorWindow, accelerators);
        }
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void pumpFor(std::chrono::milliseconds time) {
    pumpUntil([] { return false; }, time);
}

std::u16string windowText(HWND window) {
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    return fromWide(buffer);
}

std::u16string menuItemText(HMENU menu, UINT position) {
    wchar_t buffer[256] = {};
    GetMenuStringW(menu, position, buffer, 256, MF_BYPOSITION);
    return fromWide(buffer);
}

std::u16string statusPartText(HWND statusBar, int part) {
    const LRESULT length = SendMessageW(statusBar, SB_GETTEXTLENGTHW, part, 0);
    std::wstring buffer(LOWORD(length) + 1, L'\0');
    SendMessageW(statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(buffer.data()));
    return fromWide(buffer.c_str());
}

std::u16string cellText(HWND list, int row, int column) {
    wchar_t buffer[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 1024;
    SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return fromWide(buffer);
}

int itemCount(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<int> selectedRowsOf(HWND list) {
    std::vector<int> rows;
    int row = -1;
    while ((row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED))) >= 0) {
        rows.push_back(row);
    }
    return rows;
}

void MainWindowTest::SetUp() {
    state = std::make_unique<MainWindowState>();
    state->ui = &seam;
    HWND window = createMainWindow(GetModuleHandleW(nullptr), *state);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    pumpFor(std::chrono::milliseconds(50));
}

void MainWindowTest::TearDown() {
    if (state && state->window != nullptr && IsWindow(state->window)) {
        DestroyWindow(state->window);
    }
    pumpFor(std::chrono::milliseconds(20));
    // Nothing may have waited for a click: every box went through the seam.
    for (const auto& box : seam.boxes) {
        EXPECT_EQ(box.caption, u"Tessalin");
    }
}

void MainWindowTest::addRecords(std::vector<streamscan::StreamRecord> records) {
    appendResults(*state, std::move(records));
}

bool MainWindowTest::menuGrayed(int id) const {
    return (GetMenuState(GetMenu(state->window), id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) !=
           0;
}

bool MainWindowTest::menuChecked(int id) const {
    return (GetMenuState(GetMenu(state->window), id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

bool MainWindowTest::buttonEnabled(int id) const {
    return IsWindowEnabled(GetDlgItem(state->window, id)) != FALSE;
}

LRESULT MainWindowTest::notify(NMHDR& header) {
    header.hwndFrom = state->listView;
    header.idFrom = kListViewId;
    return SendMessageW(state->window, WM_NOTIFY, kListViewId, reinterpret_cast<LPARAM>(&header));
}

void MainWindowTest::selectOnly(const std::vector<int>& rows) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = 0;
    SendMessageW(state->listView, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED;
    for (int row : rows) {
        SendMessageW(state->listView, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
}

streamscan::StreamRecord makeRecord(std::u16string hostFolder, std::u16string hostName,
                                    std::u16string streamName, std::uint64_t size,
                                    std::uint32_t severity) {
    streamscan::StreamRecord r;
    r.hostFolder = std::move(hostFolder);
    r.hostName = std::move(hostName);
    r.streamName = std::move(streamName);
    r.streamType = r.streamName.empty() ? u"" : u"$DATA";
    r.streamSize = size;
    r.severity = severity;
    r.hostAttributes = 0x20;
    r.hostModified = 133000000000000000ull;
    return r;
}

std::wstring screenshotFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.erase(folder.find_last_of(L"\\/") + 1);
    folder += L"screenshots";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

bool saveWindowBitmap(HWND window, const std::wstring& path) {
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // PrintWindow skips what the list paints over itself; the screen has it all.
    const BOOL copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(stride) * height);
    const int lines = GetDIBits(memory, bitmap, 0, height, pixels.data(),
                                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied || lines != height)
        return false;

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(pixels.data()),
              static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

}  // namespace tessalin::gui
