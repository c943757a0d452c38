// Driving the real main window in-process under Wine (the test exe carries the
// product's manifest): a seam that records every box and shell call and answers
// boxes and dialogs without waiting for a click, an in-memory tree whose listing
// of one folder can be held, and a fixture that never leaves a worker running.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/path_forms.h"
#include "frontend/message_box_style.h"
#include "support/fake_file_system.h"
#include "window/ui_seam.h"
#include "window/win32/main_window.h"
#include "window/win32/message_box_flags.h"
#include "window/win32/owners.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {

using namespace std::chrono_literals;

// A box, or a shell call as "verb|file|parameters", with its style or show command.
using Shown = std::pair<std::u16string, std::uint32_t>;
using Boxes = std::vector<Shown>;
inline Shown boxOf(const BoxMessage& message) {
    return {message.text, messageBoxFlags(message.style)};
}

class Seam : public UiSeam {
  public:
    HWND owner = nullptr;  // of every box and dialog
    Boxes boxes, shellCalls;
    int answer = IDOK;
    std::function<void()> whileShown;  // runs as each box or dialog appears
    bool shellWorks = true;
    bool clipboardWorks = true;  // the system's clipboard, or one that cannot be opened
    // The file dialogs as the user answers them; none: cancelled, or failed with dialogError.
    std::function<bool(OPENFILENAMEW&)> fileDialog;
    std::uint32_t dialogError = 0;
    // Drives the program's own modal dialogs; whatever it leaves open is closed.
    std::function<void(HWND)> dialog;

    int messageBox(NativeWindow boxOwner, std::u16string_view text, std::u16string_view caption,
                   std::uint32_t style) override {
        EXPECT_EQ(caption, u"Tessalin");
        shown(static_cast<HWND>(boxOwner));
        boxes.push_back({std::u16string(text), style});
        return answer;
    }
    std::intptr_t shellExecute(NativeWindow, std::u16string_view verb, std::u16string_view file,
                               std::u16string_view parameters, int showCommand) override {
        shellCalls.push_back(
            {std::u16string(verb) + u"|" + std::u16string(file) + u"|" + std::u16string(parameters),
             std::uint32_t(showCommand)});
        return shellWorks ? 42 : 2;  // SE_ERR_FNF
    }
    bool shellExecuteEx(void* info) override;
    std::u16string folderAnswer;             // empty: the folder dialog is cancelled
    void* browseForFolder(void*) override {  // noted among the boxes
        boxes.push_back({u"(folder dialog)", 0});
        return folderAnswer.empty() ? nullptr : ILCreateFromPathW(wideText(folderAnswer));
    }
    bool getOpenFileName(void* dialog) override { return answerFileDialog(dialog); }
    bool getSaveFileName(void* dialog) override { return answerFileDialog(dialog); }
    std::uint32_t commonDialogError() override { return dialogError; }
    void runDialog(NativeWindow shownDialog) override {
        EXPECT_FALSE(IsWindowEnabled(owner));  // modal
        shown(GetWindow(static_cast<HWND>(shownDialog), GW_OWNER));
        if (dialog)
            dialog(static_cast<HWND>(shownDialog));
    }
    bool setClipboardText(NativeWindow owner, std::u16string_view text) override {
        return clipboardWorks && systemUiSeam().setClipboardText(owner, text);
    }

  private:
    void shown(HWND shownOwner) {
        EXPECT_EQ(shownOwner, owner);
        if (whileShown)
            whileShown();
    }
    bool answerFileDialog(void* dialog) {
        auto& fields = *static_cast<OPENFILENAMEW*>(dialog);
        EXPECT_EQ(fields.lStructSize, sizeof fields);
        shown(fields.hwndOwner);
        return fileDialog && fileDialog(fields);
    }
};

// A FakeFileSystem whose listing of `gate` waits until `open` is set. The engine
// reports a folder as progress just before it lists it, so a held listing keeps
// that folder on the status line for as long as a test likes.
class GatedFileSystem : public streamscan::FakeFileSystem {
  public:
    std::u16string gate;  // set before the scan starts
    OwnedHandle open{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    OwnedHandle held{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    std::uint32_t startListing(const std::u16string& folder, streamscan::DirectoryEntry& first,
                               std::unique_ptr<streamscan::DirectoryListing>& listing) override {
        // Bounded: a test that forgets to open fails rather than hangs.
        if (folder == gate && SetEvent(held.get()))
            WaitForSingleObject(open.get(), 20000);
        return FakeFileSystem::startListing(folder, first, listing);
    }
    // The removal of this many streams, counted from 1, waits until `open` is set.
    std::uint64_t holdAtDelete = 0;
    std::uint32_t deleteStream(const std::u16string& hostPath, const std::u16string& name,
                               const std::u16string& type) override {
        if (++deletes == holdAtDelete && SetEvent(held.get()))
            WaitForSingleObject(open.get(), 20000);
        return FakeFileSystem::deleteStream(hostPath, name, type);
    }

  private:
    std::atomic<std::uint64_t> deletes{0};
};

// Takes every waiting message (a WM_QUIT from a destroyed window is dropped)
// until `done` holds or the time runs out. True when done.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5000ms,
               HWND acceleratorWindow = nullptr, HACCEL accelerators = nullptr);

// The real main window over this tree on an NTFS volume C:\:
//   C:\dl\tool.zip      Zone.Identifier (zone 3, host URL) and notes
//   C:\dl\readme.txt    no stream
//   C:\dl\locked.bin    payload, which the disk refuses to delete
//   C:\dl\odd.dat       ea of type $EA, which the removal rules refuse
//   C:\dl\broken.bin    data, which cannot be read
//   C:\dl\bad<U+0001>name.txt   x
//   C:\dl\sub\          "folder note", with deep.txt (payload.exe)
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void command(int id) { SendMessageW(state->window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    // Scans the roots to the end, listing items without streams when asked.
    void scan(const std::vector<std::u16string>& roots = {u"C:\\dl"}, bool itemRows = true);
    // Starts a scan of C:\dl that waits at the listing of `gate` until fs.open is set.
    void startHeldScan(const std::u16string& gate);
    bool waitForScanEnd() {
        return pumpUntil([this] { return !state->scan.running; }, 10000ms);
    }
    std::u16string status(int part = 0) const {
        wchar_t text[1024] = {};
        SendMessageW(state->statusBar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
        return fromWide(text);
    }
    int itemCount() const { return ListView_GetItemCount(state->listView); }
    void select(const std::vector<int>& rows) {
        ListView_SetItemState(state->listView, -1, 0, LVIS_SELECTED);
        for (int row : rows)
            ListView_SetItemState(state->listView, row, LVIS_SELECTED, LVIS_SELECTED);
    }
    LRESULT notify(NMHDR& header) {
        header.hwndFrom = state->listView;
        return SendMessageW(state->window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    }
    const ResultRows& results() const { return state->rows; }
    const streamscan::StreamRecord& recordAt(int row) const { return *results().recordAtRow(row); }
    // The row of the record with this host name and stream name; -1 when none.
    int rowOf(std::u16string_view hostName, std::u16string_view streamName) const {
        for (int row = 0; row < itemCount(); ++row) {
            if (recordAt(row).hostName == hostName && recordAt(row).streamName == streamName)
                return row;
        }
        return -1;
    }
    // Every row, top to bottom, as "host path:stream name".
    std::vector<std::u16string> listed() const {
        std::vector<std::u16string> rows;
        for (int row = 0; row < itemCount(); ++row)
            rows.push_back(streamscan::hostPathOf(recordAt(row)) + u":" + recordAt(row).streamName);
        return rows;
    }

    std::unique_ptr<MainWindowState> state;
    GatedFileSystem fs;
    Seam ui;
};

inline constexpr char16_t kOddName[] = u"bad\u0001name.txt";

}  // namespace tessalin::gui
