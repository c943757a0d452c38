// The process entry: start-up in a fixed order, the message loop, and the
// release of what start-up made, in reverse.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "window/win32/main_window.h"
#include "window/win32/owners.h"
#include "window/win32/text_cast.h"

namespace {

// One window per process, for the life of the process.
tessalin::MainWindowState mainWindowState;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // The hand-over lock lives in mainWindowState (static storage): it exists
    // before anything else runs and goes last, at process exit.
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
    const tessalin::OleInitialization ole;

    if (!tessalin::registerMainWindowClass(instance))
        return 0;
    HWND window = tessalin::createMainWindow(instance, mainWindowState);
    if (window == nullptr)
        return 0;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    // Every argument is a location; their scan starts before the loop runs.
    tessalin::scanCommandLine(mainWindowState, GetCommandLineW());

    const tessalin::Owned<HACCEL, &DestroyAcceleratorTable> accelerators(
        tessalin::createMainAccelerators());
    MSG message;
    int exitCode = 0;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            exitCode = static_cast<int>(message.wParam);
            break;
        }
        if (got == -1)
            break;
        tessalin::dispatchWithAccelerators(message, mainWindowState.window, accelerators.get());
    }
    return exitCode;
}
