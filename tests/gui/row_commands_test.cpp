// Copy Path, Copy Row, Open Containing Folder, Properties, the context menu and
// the details view end to end in the real window: the system's clipboard read
// back, the shell's arguments as handed over, the menu as TrackPopupMenu shows
// it, and the details box of each kind of row.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <map>
#include <thread>

#include "gui/command_fixture.h"
#include "window/command_ids.h"
#include "window/details_text.h"
#include "window/win32/text_cast.h"

namespace tessalin::gui {
namespace {

using namespace std::chrono_literals;

std::u16string clipboardContents(HWND owner) {
    std::u16string text = u"<clipboard not opened>";
    for (int attempt = 0; attempt < 50 && !OpenClipboard(owner); ++attempt)
        Sleep(10);
    if (GetOpenClipboardWindow() != owner)
        return text;
    text = u"<no text>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = fromWide(chars);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Holds the clipboard open from another thread, as another program would.
class ClipboardHolder {
  public:
    ClipboardHolder() {
        opened_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this] {
            HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                         nullptr, nullptr);
            held_ = OpenClipboard(owner) != FALSE;
            SetEvent(opened_);
            WaitForSingleObject(release_, 10000);
            if (held_)
                CloseClipboard();
            DestroyWindow(owner);
        });
        WaitForSingleObject(opened_, 10000);
    }
    ~ClipboardHolder() {
        SetEvent(release_);
        thread_.join();
        CloseHandle(opened_);
        CloseHandle(release_);
    }
    bool held() const { return held_; }

  private:
    HANDLE opened_;
    HANDLE release_;
    bool held_ = false;
    std::thread thread_;
};

class RowCommandsTest : public CommandTest {
  protected:
    void SetUp() override {
        CommandTest::SetUp();
        scanTree();
    }

    // The texts of the given rows, top to bottom, joined by CR LF.
    std::u16string joinedByRow(const std::map<int, std::u16string>& byRow) {
        std::u16string text;
        for (const auto& [row, line] : byRow) {
            if (!text.empty())
                text.append(u"\r\n");
            text.append(line);
        }
        return text;
    }

    std::u16string listedRowText(int row) {
        std::u16string text;
        for (int column = 0; column < 9; ++column) {
            if (column > 0)
                text.push_back(u'\t');
            text.append(cellText(state->listView, row, column));
        }
        return text;
    }
};

TEST_F(RowCommandsTest, CopyPathAndCopyRowPutExactlyTheEscapedTextOnTheSystemClipboard) {
    ui.realClipboard = true;
    const int zone = rowOf(u"tool.zip", u"Zone.Identifier");
    const int item = rowOf(u"readme.txt", u"");
    const int odd = rowOf(kOddName, u"x");
    selectOnly({zone, item, odd});

    command(kCmdCopyPath);
    EXPECT_EQ(clipboardContents(state->window),
              joinedByRow({{zone, u"C:\\dl\\tool.zip:Zone.Identifier:$DATA"},
                           {item, u"C:\\dl\\readme.txt"},
                           {odd, u"C:\\dl\\bad<U+0001>name.txt:x:$DATA"}}));
    EXPECT_EQ(status(), u"Copied 3 rows to the clipboard.");

    command(kCmdCopyRow);
    const std::u16string rows = clipboardContents(state->window);
    EXPECT_EQ(rows, joinedByRow({{zone, listedRowText(zone)},
                                 {item, listedRowText(item)},
                                 {odd, listedRowText(odd)}}));
    EXPECT_EQ(std::count(rows.begin(), rows.end(), u'\t'), 24);

    // An item row has empty cells, and still gives all nine columns.
    selectOnly({item});
    command(kCmdCopyRow);
    const std::u16string one = clipboardContents(state->window);
    EXPECT_EQ(one, listedRowText(item));
    EXPECT_EQ(std::count(one.begin(), one.end(), u'\t'), 8);
    EXPECT_EQ(status(), u"Copied 1 row to the clipboard.");
}

TEST_F(RowCommandsTest, AClipboardHeldElsewhereIsReportedAndNothingIsCopiedWithoutASelection) {
    ui.realClipboard = true;
    const std::u16string before = status();
    selectOnly({});
    command(kCmdCopyPath);
    command(kCmdCopyRow);
    EXPECT_EQ(status(), before);

    selectOnly({rowOf(u"tool.zip", u"notes")});
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.held());
        command(kCmdCopyPath);
        EXPECT_EQ(status(), u"The clipboard could not be opened.");
    }
    // Released, it works again.
    command(kCmdCopyPath);
    EXPECT_EQ(clipboardContents(state->window), u"C:\\dl\\tool.zip:notes:$DATA");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(RowCommandsTest, ExplorerAndPropertiesGetThePlainHostOfTheTopmostRow) {
    const int odd = rowOf(kOddName, u"x");
    const int later = std::max(rowOf(u"tool.zip", u"notes"), rowOf(u"empty", u""));
    ASSERT_LT(odd, later);
    selectOnly({odd, later});
    const std::u16string plainHost = std::u16string(u"C:\\dl\\") + kOddName;

    command(kCmdOpenContainingFolder);
    ASSERT_EQ(ui.shellCalls.size(), 1u);
    EXPECT_EQ(ui.shellCalls[0].verb, u"open");
    EXPECT_EQ(ui.shellCalls[0].file, u"explorer.exe");
    EXPECT_EQ(ui.shellCalls[0].parameters, u"/select,\"" + plainHost + u"\"");
    EXPECT_EQ(ui.shellCalls[0].showCommand, SW_SHOWNORMAL);

    command(kCmdProperties);
    ASSERT_EQ(ui.propertySheets.size(), 1u);
    const PropertySheetCall& sheet = ui.propertySheets[0];
    EXPECT_EQ(sheet.structSize, sizeof(SHELLEXECUTEINFOW));
    EXPECT_EQ(sheet.mask, 0x10Cu);
    EXPECT_EQ(sheet.owner, state->window);
    EXPECT_EQ(sheet.verb, u"properties");
    EXPECT_EQ(sheet.file, plainHost);  // the host item, also for a stream row
    EXPECT_EQ(sheet.showCommand, SW_SHOW);
    EXPECT_TRUE(ui.boxes.empty());

    // When the shell fails, a warning names the host, escaped.
    ui.shellResult = 2;
    ui.propertySheetOpens = false;
    command(kCmdOpenContainingFolder);
    command(kCmdProperties);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, u"Explorer could not be opened for:\nC:\\dl\\bad<U+0001>name.txt");
    EXPECT_EQ(ui.boxes[1].text,
              u"The property sheet could not be opened for:\nC:\\dl\\bad<U+0001>name.txt");
    for (const RecordedBox& box : ui.boxes)
        EXPECT_EQ(box.style, static_cast<std::uint32_t>(MB_OK | MB_ICONWARNING));

    // Nothing selected: nothing at all.
    selectOnly({});
    command(kCmdOpenContainingFolder);
    command(kCmdProperties);
    EXPECT_EQ(ui.shellCalls.size(), 2u);
    EXPECT_EQ(ui.propertySheets.size(), 2u);
    EXPECT_EQ(ui.boxes.size(), 2u);
}

// ---- the context menu ----

struct MenuItemSeen {
    UINT id;
    std::u16string text;
    bool separator;
    bool grayed;
};

std::vector<MenuItemSeen> itemsOf(HMENU menu) {
    std::vector<MenuItemSeen> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        items.push_back({GetMenuItemID(menu, i), menuItemText(menu, static_cast<UINT>(i)),
                         (state & MF_SEPARATOR) != 0, (state & (MF_GRAYED | MF_DISABLED)) != 0});
    }
    return items;
}

// What a probe inside TrackPopupMenu's own loop saw of the menu on screen.
struct MenuProbe {
    bool seen = false;
    RECT place{};
    std::vector<MenuItemSeen> items;
    std::vector<WORD> keys;  // pressed in the menu once it is seen
};
MenuProbe* activeProbe = nullptr;

void CALLBACK probeMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (activeProbe == nullptr || popup == nullptr || !IsWindowVisible(popup))
        return;
    KillTimer(nullptr, timer);
    activeProbe->seen = true;
    GetWindowRect(popup, &activeProbe->place);
    if (HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0)))
        activeProbe->items = itemsOf(menu);
    for (const WORD key : activeProbe->keys) {
        PostMessageW(popup, WM_KEYDOWN, key, 1);
        PostMessageW(popup, WM_KEYUP, key, 0xC0000001);
    }
}

void CALLBACK endMenuAnyway(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EndMenu();
}

// Opens the menu as WM_CONTEXTMENU from the list would, lets the probe look at
// it and press `keys`; the menu is closed after three seconds whatever happens.
MenuProbe openContextMenu(MainWindowState& state, int x, int y, std::vector<WORD> keys) {
    MenuProbe probe;
    probe.keys = std::move(keys);
    activeProbe = &probe;
    const UINT_PTR look = SetTimer(nullptr, 0, 50, probeMenu);
    const UINT_PTR deadline = SetTimer(nullptr, 0, 3000, endMenuAnyway);
    SendMessageW(state.window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(state.listView),
                 MAKELPARAM(x, y));
    KillTimer(nullptr, look);
    KillTimer(nullptr, deadline);
    activeProbe = nullptr;
    pumpFor(20ms);
    return probe;
}

TEST_F(RowCommandsTest, ContextMenuItemsAreGrayedAsTheSelectionAndTheScanAllow) {
    struct Case {
        bool selection;
        bool scanning;
        std::vector<bool>
            grayed;  // Delete, Copy Path, Copy Row, Open Containing Folder, Properties
    };
    const Case cases[] = {
        {true, false, {false, false, false, false, false}},
        {true, true, {true, false, false, false, false}},
        {false, false, {true, true, true, true, true}},
        {false, true, {true, true, true, true, true}},
    };
    const std::vector<std::pair<UINT, std::u16string>> expected = {
        {kCmdDeleteStreams, u"Delete Selected Streams..."},
        {0, u""},
        {kCmdCopyPath, u"Copy Path"},
        {kCmdCopyRow, u"Copy Row"},
        {0, u""},
        {kCmdOpenContainingFolder, u"Open Containing Folder"},
        {kCmdProperties, u"Properties"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "selection " << c.selection << ", scanning " << c.scanning);
        selectOnly(c.selection ? std::vector<int>{1} : std::vector<int>{});
        state->scanning = c.scanning;
        HMENU menu = createRowContextMenu(*state);
        ASSERT_NE(menu, nullptr);
        const std::vector<MenuItemSeen> items = itemsOf(menu);
        DestroyMenu(menu);
        ASSERT_EQ(items.size(), expected.size());
        std::vector<bool> grayed;
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].separator, expected[i].first == 0) << i;
            if (items[i].separator)
                continue;
            EXPECT_EQ(items[i].id, expected[i].first) << i;
            EXPECT_EQ(items[i].text, expected[i].second) << i;
            grayed.push_back(items[i].grayed);
        }
        EXPECT_EQ(grayed, c.grayed);
    }
    state->scanning = false;
}

TEST_F(RowCommandsTest, KeyboardMenuOpensAThirdAcrossTheListAndRunsTheChosenCommand) {
    const int notes = rowOf(u"tool.zip", u"notes");
    selectOnly({notes});
    RECT list{};
    GetWindowRect(state->listView, &list);

    // Down to the second command (past the separator) and Enter: Copy Path.
    const MenuProbe probe = openContextMenu(*state, -1, -1, {VK_DOWN, VK_DOWN, VK_RETURN});
    ASSERT_TRUE(probe.seen);
    EXPECT_EQ(probe.place.left, list.left + (list.right - list.left) / 3);
    EXPECT_EQ(probe.place.top, list.top + MulDiv(40, static_cast<int>(state->dpi), 96));
    ASSERT_EQ(ui.clipboardTexts.size(), 1u);
    EXPECT_EQ(ui.clipboardTexts[0], u"C:\\dl\\tool.zip:notes:$DATA");
    EXPECT_EQ(status(), u"Copied 1 row to the clipboard.");

    // From the mouse, where the pointer is; Escape chooses nothing.
    const MenuProbe mouse = openContextMenu(*state, 300, 200, {VK_ESCAPE});
    ASSERT_TRUE(mouse.seen);
    EXPECT_EQ(mouse.place.left, 300);
    EXPECT_EQ(mouse.place.top, 200);
    EXPECT_EQ(ui.clipboardTexts.size(), 1u);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(RowCommandsTest, DuringAScanTheShownMenuGraysOnlyDelete) {
    selectOnly({rowOf(u"tool.zip", u"notes")});
    state->scanning = true;
    const MenuProbe probe = openContextMenu(*state, 200, 200, {VK_ESCAPE});
    state->scanning = false;
    ASSERT_TRUE(probe.seen);
    ASSERT_EQ(probe.items.size(), 7u);
    EXPECT_TRUE(probe.items[0].grayed);  // Delete Selected Streams...
    for (const std::size_t i : {2, 3, 5, 6})
        EXPECT_FALSE(probe.items[i].grayed) << i;
    EXPECT_TRUE(fake.deleteStreamCalls().empty());
}

// ---- the details view ----

TEST_F(RowCommandsTest, DoubleClickShowsTheDetailsOfEachKindOfRow) {
    struct Case {
        std::u16string hostName;
        std::u16string streamName;
        std::vector<std::u16string> parts;  // in the text, in this order
        std::u16string ending;
    };
    const Case cases[] = {
        {u"tool.zip",
         u"Zone.Identifier",
         {u"File:\tC:\\dl\\tool.zip\nKind:\tFile\n", u"File size:\t",
          u"\nStream:\tZone.Identifier\nType:\t$DATA\n",
          u"Path:\tC:\\dl\\tool.zip:Zone.Identifier:$DATA\n", u"\nZone:\t",
          u"From:\thttps://example.test/tool.zip\n", u"\nFirst bytes:\n5B 5A 6F 6E 65 "},
         u"   [ZoneTransfer].."},
        {u"readme.txt",
         u"",
         {u"File:\tC:\\dl\\readme.txt\nKind:\tFile\n", u"File size:\t"},
         u"\n\nThis file carries no alternate data stream."},
        {u"empty",
         u"",
         {u"File:\tC:\\dl\\sub\\empty\nKind:\tFolder\n"},
         u"\n\nThis folder carries no alternate data stream."},
        {u"broken.bin", u"data", {u"\nStream:\tdata\n", u"Reason:\t"}, u"could not be read\n"},
        {kOddName,
         u"x",
         {u"File:\tC:\\dl\\bad<U+0001>name.txt\n", u"Path:\tC:\\dl\\bad<U+0001>name.txt:x:$DATA\n"},
         u"78   x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.hostName.begin(), c.hostName.end()));
        ui.boxes.clear();
        const int row = rowOf(c.hostName, c.streamName);
        ASSERT_GE(row, 0);
        NMITEMACTIVATE click{};
        click.hdr.code = NM_DBLCLK;
        click.iItem = row;
        notify(click.hdr);
        ASSERT_EQ(ui.boxes.size(), 1u);
        const std::u16string& text = ui.boxes[0].text;
        EXPECT_EQ(text, detailsText(*state->rows.recordAtRow(row), streamscan::PathStyle::windows));
        EXPECT_EQ(ui.boxes[0].style, static_cast<std::uint32_t>(MB_OK | MB_ICONINFORMATION));
        std::size_t from = 0;
        for (const std::u16string& part : c.parts) {
            const std::size_t at = text.find(part, from);
            EXPECT_NE(at, std::u16string::npos) << std::string(part.begin(), part.end());
            if (at != std::u16string::npos)
                from = at + part.size();
        }
        ASSERT_GE(text.size(), c.ending.size());
        EXPECT_EQ(text.substr(text.size() - c.ending.size()), c.ending);
        if (c.hostName == u"empty") {
            EXPECT_EQ(text.find(u"File size"), std::u16string::npos);
        }
        if (c.hostName == u"broken.bin") {
            EXPECT_EQ(text.find(u"First bytes"), std::u16string::npos);
        }
    }

    // A double-click on empty space opens nothing.
    ui.boxes.clear();
    NMITEMACTIVATE nowhere{};
    nowhere.hdr.code = NM_DBLCLK;
    nowhere.iItem = -1;
    notify(nowhere.hdr);
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace tessalin::gui
