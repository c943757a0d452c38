// Driving the real main window in-process under Wine: a seam that records every
// box and answers questions, a window fixture, and message pumps with timeouts.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "window/ui_seam.h"
#include "window/win32/main_window.h"

namespace tessalin::gui {

struct RecordedBox {
    HWND owner;
    std::u16string text;
    std::u16string caption;
    std::uint32_t style;
};

struct RecordedShellCall {
    std::u16string verb;
    std::u16string file;
    std::u16string parameters;
    int showCommand;
};

// Never blocks: every box is recorded and answered with `answer`.
class RecordingUiSeam : public UiSeam {
  public:
    std::vector<RecordedBox> boxes;
    int answer = IDOK;
    std::vector<RecordedShellCall> shellCalls;
    std::intptr_t shellResult = 42;
    std::vector<std::u16string> clipboardTexts;

    int messageBox(NativeWindow owner, std::u16string_view text, std::u16string_view caption,
                   std::uint32_t style) override;
    std::intptr_t shellExecute(NativeWindow owner, std::u16string_view verb,
                               std::u16string_view file, std::u16string_view parameters,
                               int showCommand) override;
    bool shellExecuteEx(void*) override { return false; }
    void* browseForFolder(void*) override { return nullptr; }
    bool getOpenFileName(void*) override { return false; }
    bool getSaveFileName(void*) override { return false; }
    std::uint32_t commonDialogError() override { return 0; }
    bool setClipboardText(NativeWindow, std::u16string_view text) override;
};

// Takes every waiting message (WM_QUIT from a destroyed window included, which
// is ignored here) until `done` holds or the time runs out. True when done.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000),
               HWND acceleratorWindow = nullptr, HACCEL accelerators = nullptr);
// Takes every waiting message for a short while.
void pumpFor(std::chrono::milliseconds time);

std::u16string windowText(HWND window);
std::u16string menuItemText(HMENU menu, UINT position);
std::u16string statusPartText(HWND statusBar, int part);
std::u16string cellText(HWND list, int row, int column);
int itemCount(HWND list);
std::vector<int> selectedRowsOf(HWND list);

// A fresh main window with a recording seam, destroyed at the end of the test.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Records added at the bottom of the list, as a drain would.
    void addRecords(std::vector<streamscan::StreamRecord> records);
    void command(int id) { SendMessageW(state->window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    bool menuGrayed(int id) const;
    bool menuChecked(int id) const;
    bool buttonEnabled(int id) const;
    LRESULT notify(NMHDR& header);
    void selectOnly(const std::vector<int>& rows);

    std::unique_ptr<MainWindowState> state;
    RecordingUiSeam seam;
};

streamscan::StreamRecord makeRecord(std::u16string hostFolder, std::u16string hostName,
                                    std::u16string streamName, std::uint64_t size = 0,
                                    std::uint32_t severity = 0);

// Where screenshots go: <folder of the test exe>/screenshots.
std::wstring screenshotFolder();
// Copies what the window shows on screen into a 24-bit BMP file.
bool saveWindowBitmap(HWND window, const std::wstring& path);

}  // namespace tessalin::gui
