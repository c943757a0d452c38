// The real main window with the list filled by a scan of an in-memory tree,
// and a seam that also answers the save dialog, records the property-sheet
// calls and can hand the clipboard to the system. Shared by the tests of the
// delete, export and row commands and of the details view.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/gui_support.h"
#include "support/fake_file_system.h"

namespace tessalin::gui {

struct SaveDialogCall {
    DWORD structSize = 0;
    HWND owner = nullptr;
    std::u16string filter;  // with its NULs, up to the closing double NUL
    DWORD filterIndex = 0;
    std::u16string proposedName;
    DWORD bufferLength = 0;
    bool initialFolderGiven = false;
    std::u16string title;
    std::u16string defaultExtension;
    DWORD flags = 0;
};

struct PropertySheetCall {
    DWORD structSize = 0;
    ULONG mask = 0;
    HWND owner = nullptr;
    std::u16string verb;
    std::u16string file;
    int showCommand = 0;
};

class CommandSeam : public RecordingUiSeam {
  public:
    // Save dialog: the path the "user" picks, or none for a cancelled dialog
    // (then `dialogError` is what CommDlgExtendedError says).
    std::optional<std::u16string> savePath;
    std::uint32_t dialogError = 0;
    std::vector<SaveDialogCall> saveDialogs;

    bool propertySheetOpens = true;
    std::vector<PropertySheetCall> propertySheets;

    // The system's clipboard instead of a recorded one.
    bool realClipboard = false;
    bool clipboardWorks = true;

    // Runs as each box or dialog appears, with the number shown before it: what
    // the rest of the program may do while a modal box waits.
    std::function<void(std::size_t shownBefore)> whileShown;
    // Rows the list showed when each box appeared.
    HWND list = nullptr;
    std::vector<int> rowsAtBox;

    int messageBox(NativeWindow owner, std::u16string_view text, std::u16string_view caption,
                   std::uint32_t style) override;
    bool getSaveFileName(void* openFileName) override;
    std::uint32_t commonDialogError() override { return dialogError; }
    bool shellExecuteEx(void* info) override;
    bool setClipboardText(NativeWindow owner, std::u16string_view text) override;
};

// C:\dl as the scan sees it:
//   tool.zip     Zone.Identifier (zone 3, host URL) and notes
//   setup.exe    Zone.Identifier
//   readme.txt   no stream (an item row)
//   locked.bin   payload, which the disk refuses to delete
//   odd.dat      ea of type $EA, which the removal rules refuse
//   broken.bin   data, which cannot be read
//   bad<U+0001>name.txt   x
//   sub\         a folder with "folder note", and an empty folder empty\ (an item row)
class CommandTest : public MainWindowTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Scans the tree into the list as a finished scan leaves it.
    void scanTree();
    // The list row of the record with this host name and stream name; -1 when none.
    int rowOf(std::u16string_view hostName, std::u16string_view streamName) const;
    const streamscan::StreamRecord& recordOf(std::u16string_view hostName,
                                             std::u16string_view streamName) const;
    // The list's rows as "hostName:streamName", top to bottom.
    std::vector<std::u16string> listedRows() const;
    std::u16string status() const { return statusPartText(state->statusBar, 0); }

    streamscan::FakeFileSystem fake{streamscan::PathStyle::windows};
    CommandSeam ui;
};

inline constexpr char16_t kOddName[] = u"bad\u0001name.txt";

}  // namespace tessalin::gui
