#include "gui/window_fixture.h"

#include <shellapi.h>

namespace tessalin::gui {

bool Seam::shellExecuteEx(void* info) {
    const auto& execute = *static_cast<const SHELLEXECUTEINFOW*>(info);
    EXPECT_EQ(execute.cbSize, sizeof execute);
    EXPECT_EQ(execute.fMask, ULONG(SEE_MASK_INVOKEIDLIST | SEE_MASK_NOASYNC));
    shown(execute.hwnd);
    shellCalls.push_back({fromWide(execute.lpVerb) + u"|" + fromWide(execute.lpFile) + u"|",
                          std::uint32_t(execute.nShow)});
    return shellWorks;
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

void WindowTest::SetUp() {
    using streamscan::FakeOp;
    using streamscan::streamPathOf;
    fs.addVolume(u"C:\\", u"NTFS", true);
    fs.addStream(u"C:\\dl\\tool.zip", u"Zone.Identifier",
                 "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.test/tool.zip\r\n");
    fs.addStream(u"C:\\dl\\tool.zip", u"notes", "remember the milk");
    fs.addFile(u"C:\\dl\\readme.txt", "read me");
    fs.addStream(u"C:\\dl\\locked.bin", u"payload", "MZ\x90");
    fs.refuse(FakeOp::deleteStream, streamPathOf(u"C:\\dl\\locked.bin", u"payload", u"$DATA"));
    fs.addStream(u"C:\\dl\\odd.dat", u"ea", "extended", u"$EA");
    fs.addStream(u"C:\\dl\\broken.bin", u"data", "cannot be read");
    fs.setFault(FakeOp::read, streamPathOf(u"C:\\dl\\broken.bin", u"data", u"$DATA"),
                {streamscan::kErrorLockViolation});
    fs.addStream(std::u16string(u"C:\\dl\\") + kOddName, u"x", "x");
    fs.addStream(u"C:\\dl\\sub\\deep.txt", u"payload.exe", "MZ\x90");
    fs.addStream(u"C:\\dl\\sub", u"folder note", "on a folder");

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
    SetEvent(fs.open.get());
    if (state->scan.running && state->window != nullptr) {
        state->scan.cancel();
        EXPECT_TRUE(waitForScanEnd()) << "the scan did not end";
    }
    if (state->scan.worker.started())
        WaitForSingleObject(state->scan.worker.handle(), 20000);
    if (state->removal && state->window != nullptr) {
        state->removal->worker.cancel();
        EXPECT_TRUE(pumpUntil([this] { return !state->removal; }, 10000ms));
    }
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
    ResetEvent(fs.open.get());
    ResetEvent(fs.held.get());
    startScan(*state, {u"C:\\dl"});
    ASSERT_TRUE(state->scan.running);
    ASSERT_EQ(WaitForSingleObject(fs.held.get(), 5000), WAIT_OBJECT_0);
}

}  // namespace tessalin::gui
