// Driving real scans in the real window: an in-memory file system whose
// listing of one folder can be held until the test lets it go, a seam that
// answers the folder and file dialogs, a drop handle made as the shell makes
// one, and a fixture that never leaves a worker running.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "gui/gui_support.h"
#include "support/fake_file_system.h"

namespace tessalin::gui {

// A FakeFileSystem whose listing of one chosen folder waits at a gate. The
// engine reports a folder as progress just before it lists it, so a held
// listing keeps "Scanning: <folder>" on show for as long as the test likes.
class GatedFileSystem : public streamscan::FakeFileSystem {
  public:
    GatedFileSystem();
    ~GatedFileSystem() override;

    // From now on, the listing of exactly `folder` waits until open().
    void closeGateAt(const std::u16string& folder);
    void open();
    // Waits, without pumping messages, until a worker is held at the gate.
    bool waitUntilHeld(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    std::uint32_t startListing(const std::u16string& folder, streamscan::DirectoryEntry& first,
                               std::unique_ptr<streamscan::DirectoryListing>& listing) override;

  private:
    std::mutex mutex_;
    std::u16string gateFolder_;
    HANDLE gate_;  // manual reset; signalled while open
    HANDLE held_;  // set when a worker starts waiting
};

// Answers the folder and file dialogs as a user would, and records how the
// window asked.
class DialogSeam : public RecordingUiSeam {
  public:
    struct BrowseCall {
        HWND owner;
        bool hasRoot;
        bool hasDisplayName;
        std::u16string title;
        UINT flags;
    };
    std::vector<BrowseCall> browseCalls;
    // The item the folder dialog returns (the window frees it); null: cancelled.
    std::function<PIDLIST_ABSOLUTE()> folderAnswer;

    // One answer of the file dialog: the user's choice as the dialog writes it
    // (NUL-separated, ending in an empty string), or a failure code. A choice
    // longer than the buffer fails as the system's dialog does: 0x3003, with
    // the need in the buffer's first 16-bit unit. No answers left: cancelled.
    struct OpenAnswer {
        std::u16string choice;
        std::uint32_t error = 0;  // used when choice is empty: 0 cancels
    };
    std::vector<OpenAnswer> openAnswers;
    struct OpenCall {
        HWND owner;
        DWORD structSize;
        std::u16string filter;  // with its NULs
        DWORD bufferChars;
        bool bufferZeroed;
        std::u16string title;
        DWORD flags;
    };
    std::vector<OpenCall> openCalls;

    void* browseForFolder(void* browseInfo) override;
    bool getOpenFileName(void* openFileName) override;
    std::uint32_t commonDialogError() override { return lastError_; }

  private:
    std::uint32_t lastError_ = 0;
};

// A drop handle as the shell hands one over: a DROPFILES block with the wide
// path list. The window's DragFinish frees it.
HDROP makeDropHandle(const std::vector<std::u16string>& paths);

// The main window with a scan's file system and a dialog-answering seam.
class ScanWindowTest : public MainWindowTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A small tree on an NTFS volume C:\: C:\data with a.txt (Zone.Identifier),
    // b.txt (notes), and sub\c.txt (payload.exe) and sub\d.txt without streams.
    void addSampleTree();
    // Pumps messages until the scan has ended (false when it did not in time),
    // noting every text that status-bar part 0 shows on the way.
    bool waitForScanEnd(std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
    bool pumpWatchingStatus(const std::function<bool()>& done,
                            std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    std::u16string statusText() const { return statusPartText(state->statusBar, 0); }
    // Every host path and stream name in the list, top to bottom, as "path:stream".
    std::vector<std::u16string> listedStreams() const;

    GatedFileSystem fs;
    DialogSeam dialogs;
    std::vector<std::u16string> statusSeen;  // distinct texts in the order they showed
};

}  // namespace tessalin::gui
