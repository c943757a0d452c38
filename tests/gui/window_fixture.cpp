#include "gui/window_fixture.h"

#include <shellapi.h>

#include "engine/path_forms.h"
#include "engine/unicode.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {

void PrintTo(const Shown& shown, std::ostream* out) {
    *out << "{\"" << streamscan::utf8ForDisplay(shown.text) << "\", 0x" << std::hex << shown.style
         << std::dec << "}";
}

void Seam::shown(HWND shownOwner) {
    EXPECT_EQ(shownOwner, owner);
    if (whileShown)
        whileShown();
}

int Seam::messageBox(NativeWindow boxOwner, std::u16string_view text, std::u16string_view caption,
                     std::uint32_t style) {
    EXPECT_EQ(caption, u"Tessalin");
    shown(static_cast<HWND>(boxOwner));
    boxes.push_back({std::u16string(text), style});
    return answer;
}

std::intptr_t Seam::shellExecute(NativeWindow, std::u16string_view verb, std::u16string_view file,
                                 std::u16string_view parameters, int showCommand) {
    shellCalls.push_back(
        {std::u16string(verb) + u"|" + std::u16string(file) + u"|" + std::u16string(parameters),
         std::uint32_t(showCommand)});
    return shellWorks ? 42 : 2;  // SE_ERR_FNF
}

bool Seam::shellExecuteEx(void* info) {
    const auto& execute = *static_cast<const SHELLEXECUTEINFOW*>(info);
    EXPECT_EQ(execute.cbSize, sizeof execute);
    EXPECT_EQ(execute.fMask, ULONG(SEE_MASK_INVOKEIDLIST | SEE_MASK_NOASYNC));
    shown(execute.hwnd);
    shellCalls.push_back({fromWide(execute.lpVerb) + u"|" + fromWide(execute.lpFile) + u"|",
                          std::uint32_t(execute.nShow)});
    return shellWorks;
}

void* Seam::browseForFolder(void* browseInfo) {
    const auto& info = *static_cast<const BROWSEINFOW*>(browseInfo);
    shown(info.hwndOwner);
    return folderDialog ? folderDialog(info) : nullptr;
}

bool Seam::fileDialog(void* dialog, const std::function<bool(OPENFILENAMEW&)>& answer) {
    auto& fields = *static_cast<OPENFILENAMEW*>(dialog);
    EXPECT_EQ(fields.lStructSize, sizeof fields);
    shown(fields.hwndOwner);
    return answer && answer(fields);
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               HWND acceleratorWindow, HACCEL accelerators) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_QUIT)
                dispatchWithAccelerators(message, acceleratorWindow, accelerators);
        }
        if (done() || std::chrono::steady_clock::now() >= deadline)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::u16string menuItemText(HMENU menu, int position) {
    wchar_t buffer[256] = {};
    GetMenuStringW(menu, UINT(position), buffer, 256, MF_BYPOSITION);
    return fromWide(buffer);
}

void WindowTest::SetUp() {
    using streamscan::FakeOp;
    using streamscan::streamPathOf;
    fs.addVolume(u"C:\\", u"NTFS", true);
    fs.addFile(u"C:\\dl\\tool.zip", "PK\x03\x04");
    fs.addStream(u"C:\\dl\\tool.zip", u"Zone.Identifier",
                 "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.test/tool.zip\r\n");
    fs.addStream(u"C:\\dl\\tool.zip", u"notes", "remember the milk");
    fs.addFile(u"C:\\dl\\setup.exe", "MZ");
    fs.addStream(u"C:\\dl\\setup.exe", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    fs.addFile(u"C:\\dl\\readme.txt", "read me");
    fs.addFile(u"C:\\dl\\locked.bin", "locked");
    fs.addStream(u"C:\\dl\\locked.bin", u"payload", "MZ\x90");
    fs.refuse(FakeOp::deleteStream, streamPathOf(u"C:\\dl\\locked.bin", u"payload", u"$DATA"));
    fs.addFile(u"C:\\dl\\odd.dat", "odd");
    fs.addStream(u"C:\\dl\\odd.dat", u"ea", "extended", u"$EA");
    fs.addFile(u"C:\\dl\\broken.bin", "broken");
    fs.addStream(u"C:\\dl\\broken.bin", u"data", "cannot be read");
    fs.setFault(FakeOp::read, streamPathOf(u"C:\\dl\\broken.bin", u"data", u"$DATA"),
                {streamscan::kErrorLockViolation});
    fs.addFile(std::u16string(u"C:\\dl\\") + kOddName, "x");
    fs.addStream(std::u16string(u"C:\\dl\\") + kOddName, u"x", "x");
    fs.addFile(u"C:\\dl\\sub\\deep.txt", "deep");
    fs.addStream(u"C:\\dl\\sub\\deep.txt", u"payload.exe", "MZ\x90");
    fs.addStream(u"C:\\dl\\sub", u"folder note", "on a folder");
    fs.addFolder(u"C:\\dl\\sub\\empty");

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    ASSERT_TRUE(registerMainWindowClass(GetModuleHandleW(nullptr)));
    state = std::make_unique<MainWindowState>();
    state->ui = &ui;
    state->fileSystem = &fs;
    ASSERT_NE(ui.owner = createMainWindow(GetModuleHandleW(nullptr), *state), nullptr);
    ShowWindow(state->window, SW_SHOWNORMAL);
    pumpUntil([] { return false; }, 50ms);
}

void WindowTest::TearDown() {
    // No worker may outlive the state and the file system it uses.
    SetEvent(fs.open);
    if (state->scanning && state->window != nullptr) {
        state->cancelRequested.exchange(true);
        EXPECT_TRUE(waitForScanEnd()) << "the scan did not end";
    }
    if (state->scanThread)
        WaitForSingleObject(state->scanThread.get(), 20000);
    if (state->window != nullptr)
        DestroyWindow(state->window);
}

void WindowTest::scan(const std::vector<std::u16string>& roots, bool itemRows) {
    state->scanOptions.showItemsWithoutStreams = itemRows;
    startScan(*state, roots);
    ASSERT_TRUE(waitForScanEnd());
}

void WindowTest::startHeldScan(const std::u16string& gate) {
    fs.gate = gate;
    ResetEvent(fs.open);
    ResetEvent(fs.held);
    startScan(*state, {u"C:\\dl"});
    ASSERT_TRUE(state->scanning);
    ASSERT_EQ(WaitForSingleObject(fs.held, 5000), WAIT_OBJECT_0);
}

std::u16string WindowTest::status(int part) const {
    wchar_t buffer[1024] = {};
    SendMessageW(state->statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(buffer));
    return fromWide(buffer);
}

std::u16string WindowTest::cell(int row, int column) const {
    wchar_t buffer[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 1024;
    SendMessageW(state->listView, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return fromWide(buffer);
}

void WindowTest::select(const std::vector<int>& rows) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    SendMessageW(state->listView, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED;
    for (int row : rows)
        SendMessageW(state->listView, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

int WindowTest::rowOf(std::u16string_view hostName, std::u16string_view streamName) const {
    for (int row = 0; row < itemCount(); ++row) {
        if (recordAt(row).hostName == hostName && recordAt(row).streamName == streamName)
            return row;
    }
    return -1;
}

std::vector<std::u16string> WindowTest::listed() const {
    std::vector<std::u16string> rows;
    for (int row = 0; row < itemCount(); ++row)
        rows.push_back(streamscan::hostPathOf(recordAt(row)) + u":" + recordAt(row).streamName);
    return rows;
}

}  // namespace tessalin::gui
