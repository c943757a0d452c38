// The four roads to a scan, driven as the user drives them: the command line
// through the program's own entry function, a real drop handle, and the folder
// and file dialogs answered by the seam.
#include <windows.h>
#include <cderr.h>
#include <commdlg.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "gui/scan_driving.h"
#include "support/allocation_failure.h"
#include "window/command_ids.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

bool sameIgnoringCase(const std::u16string& a, const std::u16string& b) {
    return CompareStringOrdinal(wideText(a), static_cast<int>(a.size()), wideText(b),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

TEST_F(ScanWindowTest, CommandLineArgumentsAreScannedInOrderRelativeToTheCurrentFolder) {
    addSampleTree();
    fs.setCurrentFolder(u"C:\\data");
    scanCommandLine(*state,
                    L"\"C:\\Program Files\\Tessalin\\tessalin.exe\" sub \"C:\\data\\a.txt\"");
    EXPECT_EQ(state->lastRoots,
              (std::vector<std::u16string>{u"C:\\data\\sub", u"C:\\data\\a.txt"}));
    EXPECT_EQ(statusText(), u"Scanning 2 locations...");
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(listedStreams(), (std::vector<std::u16string>{u"C:\\data\\sub\\c.txt:payload.exe",
                                                            u"C:\\data\\a.txt:Zone.Identifier"}));

    // The program's name alone starts nothing.
    statusSeen.clear();
    scanCommandLine(*state, L"tessalin.exe");
    EXPECT_FALSE(state->scanning);
    EXPECT_EQ(statusText(), u"Scan complete.");
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(ScanWindowTest, DroppedItemsAreScannedInDropOrderAndTheDropIsGivenBack) {
    addSampleTree();
    HDROP drop = makeDropHandle({u"C:\\data\\sub", u"C:\\data\\a.txt", u"c:\\DATA\\SUB\\"});
    ASSERT_NE(drop, nullptr);
    // Dropped on the list, which hands the drop to the window.
    SendMessageW(state->listView, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_EQ(GlobalFlags(drop), static_cast<UINT>(GMEM_INVALID_HANDLE)) << "DragFinish";
    EXPECT_EQ(state->lastRoots,
              (std::vector<std::u16string>{u"C:\\data\\sub", u"C:\\data\\a.txt"}));
    EXPECT_EQ(statusText(),
              u"Scanning 2 locations... (1 location was named twice and scanned once)");
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(listedStreams(), (std::vector<std::u16string>{u"C:\\data\\sub\\c.txt:payload.exe",
                                                            u"C:\\data\\a.txt:Zone.Identifier"}));
    EXPECT_TRUE(dialogs.boxes.empty());

    // A list holding only an empty name: Wine counts it as one item without a
    // path, Windows as no item. Either way nothing starts, and an item without
    // a path is said to be one.
    HDROP probe = makeDropHandle({});
    const UINT items = DragQueryFileW(probe, 0xFFFFFFFF, nullptr, 0);
    DragFinish(probe);
    SendMessageW(state->window, WM_DROPFILES, reinterpret_cast<WPARAM>(makeDropHandle({})), 0);
    EXPECT_FALSE(state->scanning);
    EXPECT_EQ(state->lastRoots.size(), 2u);
    if (items == 0) {
        EXPECT_TRUE(dialogs.boxes.empty());
    } else {
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].text,
                  u"1 dropped item could not be resolved to a path on disk, so there is "
                  u"nothing here to scan.");
        EXPECT_EQ(dialogs.boxes[0].style, static_cast<std::uint32_t>(MB_ICONWARNING | MB_OK));
    }
}

TEST_F(ScanWindowTest, ADropIsGivenBackWhenItsNamesFindNoMemory) {
    HDROP drop = makeDropHandle({u"C:\\data\\a.txt"});
    ASSERT_NE(drop, nullptr);
    testsupport::failAllocationsAfter(0);
    SendMessageW(state->window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    testsupport::failAllocationsAfter(-1);
    EXPECT_EQ(GlobalFlags(drop), static_cast<UINT>(GMEM_INVALID_HANDLE));
    EXPECT_FALSE(state->scanning);
}

// A real folder, so that the shell can make an item of it; the scan reads the
// same path from the in-memory tree.
class FolderDialogTest : public ScanWindowTest {
  protected:
    void SetUp() override {
        ScanWindowTest::SetUp();
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"tessalin-choice-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        const std::u16string root = fromWide(folder.c_str());
        fs.addFile(root + u"\\x.txt", "x");
        fs.addStream(root + u"\\x.txt", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    }
    void TearDown() override {
        RemoveDirectoryW(folder.c_str());
        ScanWindowTest::TearDown();
    }
    std::wstring folder;
};

TEST_F(FolderDialogTest, TheChosenFolderIsScannedACancelSaysNothingAndAVirtualItemIsRefused) {
    dialogs.folderAnswer = [this]() -> PIDLIST_ABSOLUTE {
        PIDLIST_ABSOLUTE item = nullptr;
        return SUCCEEDED(SHParseDisplayName(folder.c_str(), nullptr, &item, 0, nullptr)) ? item
                                                                                         : nullptr;
    };
    command(kCmdScanFolder);
    ASSERT_EQ(dialogs.browseCalls.size(), 1u);
    const auto& call = dialogs.browseCalls[0];
    EXPECT_EQ(call.owner, state->window);
    EXPECT_FALSE(call.hasRoot);
    EXPECT_TRUE(call.hasDisplayName);
    EXPECT_EQ(call.title, u"Choose a folder to inspect");
    EXPECT_EQ(call.flags, static_cast<UINT>(BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE));
    ASSERT_EQ(state->lastRoots.size(), 1u);
    EXPECT_TRUE(sameIgnoringCase(state->lastRoots[0], fromWide(folder.c_str())))
        << std::wstring(reinterpret_cast<const wchar_t*>(state->lastRoots[0].c_str()));
    EXPECT_EQ(statusText(), u"Scanning: " + state->lastRoots[0]);
    ASSERT_TRUE(waitForScanEnd());
    EXPECT_EQ(state->rows.rowOrder.size(), 1u);

    // Cancelled: nothing at all.
    dialogs.folderAnswer = [] { return PIDLIST_ABSOLUTE{}; };
    command(kCmdScanFolder);
    EXPECT_EQ(dialogs.browseCalls.size(), 2u);
    EXPECT_FALSE(state->scanning);
    EXPECT_EQ(statusText(), u"Scan complete.");
    EXPECT_TRUE(dialogs.boxes.empty());

    // A folder of the shell's namespace that is no folder on disk.
    dialogs.folderAnswer = []() -> PIDLIST_ABSOLUTE {
        PIDLIST_ABSOLUTE item = nullptr;
        return SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &item)) ? item : nullptr;
    };
    command(kCmdScanFolder);
    EXPECT_EQ(dialogs.browseCalls.size(), 3u);
    EXPECT_FALSE(state->scanning);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text,
              u"That item has no path on disk, so there is nothing here to inspect.");
    EXPECT_EQ(dialogs.boxes[0].style, static_cast<std::uint32_t>(MB_ICONINFORMATION | MB_OK));
    EXPECT_EQ(dialogs.boxes[0].owner, state->window);
}

TEST_F(ScanWindowTest, FileDialogAnswersBecomeRootsOrAStatusText) {
    addSampleTree();
    fs.addFile(u"C:\\data\\e.txt", "echo");
    fs.addStream(u"C:\\data\\e.txt", u"tag", "e");
    // A choice longer than the first buffer: 600 names of 119 characters.
    std::u16string longChoice = u"C:\\data"s + u'\0';
    std::vector<std::u16string> longRoots;
    for (int i = 0; i < 600; ++i) {
        std::u16string name = u"many-" + fromWide(std::to_wstring(1000 + i).c_str());
        name.resize(119, u'x');
        fs.addFile(u"C:\\data\\many\\" + name);
        longChoice += u"many\\" + name + u'\0';
        longRoots.push_back(u"C:\\data\\many\\" + name);
    }
    longChoice += u'\0';
    ASSERT_GT(longChoice.size(), 65536u);

    using Answer = DialogSeam::OpenAnswer;
    const Answer tooSmall{u"", FNERR_BUFFERTOOSMALL};
    const struct {
        const char* what;
        std::vector<Answer> answers;
        std::size_t calls;
        std::vector<std::u16string> roots;  // empty: no scan
        std::u16string status;              // right after the command
    } cases[] = {
        {"one file",
         {{u"C:\\data\\a.txt\0\0"s}},
         1,
         {u"C:\\data\\a.txt"},
         u"Scanning: C:\\data\\a.txt"},
        {"a folder and three names",
         {{u"C:\\data\0e.txt\0a.txt\0b.txt\0\0"s}},
         1,
         {u"C:\\data\\e.txt", u"C:\\data\\a.txt", u"C:\\data\\b.txt"},
         u"Scanning 3 locations..."},
        {"too small once, then chosen again",
         {{longChoice}, {longChoice}},
         2,
         longRoots,
         u"Scanning 600 locations..."},
        {"too small twice",
         {tooSmall, tooSmall},
         2,
         {},
         u"The file dialog could not be opened (error 12291)."},
        {"cancelled", {}, 1, {}, u""},
        {"the dialog failed",
         {{u"", CDERR_INITIALIZATION}},
         1,
         {},
         u"The file dialog could not be opened (error 2)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dialogs.openAnswers = c.answers;
        dialogs.openCalls.clear();
        state->lastRoots.clear();
        setStatusText(*state, u"");
        command(kCmdScanFile);

        ASSERT_EQ(dialogs.openCalls.size(), c.calls);
        for (std::size_t i = 0; i < c.calls; ++i) {
            const auto& call = dialogs.openCalls[i];
            EXPECT_EQ(call.structSize, sizeof(OPENFILENAMEW));
            EXPECT_EQ(call.owner, state->window);
            EXPECT_EQ(call.filter, u"All files\0*.*\0"s);
            EXPECT_TRUE(call.bufferZeroed);
            EXPECT_EQ(call.title, u"Choose files to inspect");
            EXPECT_EQ(call.flags,
                      static_cast<DWORD>(OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST |
                                         OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR));
        }
        EXPECT_EQ(dialogs.openCalls[0].bufferChars, 65536u);
        EXPECT_EQ(statusText(), c.status);
        EXPECT_EQ(state->scanning, !c.roots.empty());
        EXPECT_EQ(state->lastRoots, c.roots);
        ASSERT_TRUE(waitForScanEnd());
    }
    EXPECT_TRUE(dialogs.boxes.empty());
}

}  // namespace
}  // namespace tessalin::gui
