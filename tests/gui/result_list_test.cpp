#include <windows.h>
#include <commctrl.h>

#include "gui/gui_support.h"
#include "window/command_ids.h"

namespace tessalin::gui {
namespace {

using namespace std::chrono_literals;
using streamscan::StreamRecord;

class ResultListTest : public MainWindowTest {
  protected:
    // Stream names top to bottom, as the list shows them.
    std::vector<std::u16string> streamColumn() {
        std::vector<std::u16string> out;
        for (int row = 0; row < itemCount(state->listView); ++row) {
            out.push_back(cellText(state->listView, row, 2));
        }
        return out;
    }
    int headerFormat(int column) {
        HWND header = reinterpret_cast<HWND>(SendMessageW(state->listView, LVM_GETHEADER, 0, 0));
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item));
        return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
    }
    void clickColumn(int column) {
        NMLISTVIEW click{};
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        notify(click.hdr);
    }
    LRESULT customDraw(DWORD stage, int row, COLORREF& text) {
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = stage;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        draw.clrText = CLR_DEFAULT;
        const LRESULT result = notify(draw.nmcd.hdr);
        text = draw.clrText;
        return result;
    }
    using Names = std::vector<std::u16string>;
};

TEST_F(ResultListTest, CellsShowEscapedColumnTexts) {
    StreamRecord alert = makeRecord(u"C:\\dl", u"evil\u202Etxt.exe", u"Zone.Identifier", 26, 2);
    alert.zone.isZoneIdentifier = true;
    alert.zone.zoneIdPresent = alert.zone.zoneIdParsed = true;
    alert.zone.zone = 3;
    alert.zone.zoneId = 3;
    alert.zone.hostUrl = u"https://example.com/a\tb";
    alert.note = u"Downloaded executable";
    StreamRecord item = makeRecord(u"C:\\dl", u"plain.txt", u"");
    item.hostAttributes = 0x2;
    addRecords({alert, item});
    ASSERT_EQ(itemCount(state->listView), 2);

    HWND list = state->listView;
    EXPECT_EQ(cellText(list, 0, 0), u"Alert");
    EXPECT_EQ(cellText(list, 0, 1), u"C:\\dl\\evil<U+202E>txt.exe");
    EXPECT_EQ(cellText(list, 0, 2), u"Zone.Identifier");
    EXPECT_EQ(cellText(list, 0, 3), u"26 B");
    EXPECT_NE(cellText(list, 0, 4).find(u"Internet"), std::u16string::npos);
    EXPECT_EQ(cellText(list, 0, 5), u"https://example.com/a<U+0009>b");
    EXPECT_EQ(cellText(list, 0, 6), u"Downloaded executable");
    EXPECT_EQ(cellText(list, 0, 7).size(), 19u);
    EXPECT_EQ(cellText(list, 1, 0), u"");
    EXPECT_EQ(cellText(list, 1, 2), u"(no alternate streams)");
    EXPECT_EQ(cellText(list, 1, 3), u"");
    EXPECT_EQ(cellText(list, 1, 8), u"Hidden");
    EXPECT_EQ(cellText(list, 5, 1), u"");  // no such row
}

TEST_F(ResultListTest, FlaggedRowsGetTheirColourUnlessSelected) {
    addRecords({makeRecord(u"C:\\a", u"x", u"alert", 1, 2),
                makeRecord(u"C:\\a", u"y", u"notice", 1, 1),
                makeRecord(u"C:\\a", u"z", u"plain", 1, 0)});
    COLORREF text = CLR_DEFAULT;
    EXPECT_EQ(customDraw(CDDS_PREPAINT, 0, text), CDRF_NOTIFYITEMDRAW);

    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const bool dark =
        (299 * GetRValue(window) + 587 * GetGValue(window) + 114 * GetBValue(window)) / 1000 < 128;
    EXPECT_EQ(customDraw(CDDS_ITEMPREPAINT, 0, text), CDRF_NEWFONT);
    EXPECT_EQ(text, dark ? RGB(255, 128, 118) : RGB(176, 0, 0));
    EXPECT_EQ(customDraw(CDDS_ITEMPREPAINT, 1, text), CDRF_NEWFONT);
    EXPECT_EQ(text, dark ? RGB(240, 190, 90) : RGB(150, 85, 0));
    EXPECT_EQ(customDraw(CDDS_ITEMPREPAINT, 2, text), CDRF_DODEFAULT);
    EXPECT_EQ(text, CLR_DEFAULT);
    EXPECT_EQ(customDraw(CDDS_ITEMPREPAINT, 9, text), CDRF_DODEFAULT);

    selectOnly({0});
    EXPECT_EQ(customDraw(CDDS_ITEMPREPAINT, 0, text), CDRF_DODEFAULT);
    EXPECT_EQ(text, CLR_DEFAULT);
}

TEST_F(ResultListTest, ColumnClicksSortWithArrowsAndKeepTheSelection) {
    addRecords(
        {makeRecord(u"C:\\b", u"f", u"none", 5, 0), makeRecord(u"C:\\a", u"f", u"alert", 9, 2),
         makeRecord(u"C:\\c", u"f", u"notice", 1, 1), makeRecord(u"C:\\a", u"f", u"alert2", 9, 2)});
    selectOnly({2});  // "notice"
    clickColumn(0);
    EXPECT_EQ(streamColumn(), (Names{u"alert", u"alert2", u"notice", u"none"}));
    EXPECT_EQ(headerFormat(0), HDF_SORTUP);
    EXPECT_EQ(selectedRowsOf(state->listView), (std::vector<int>{2}));

    clickColumn(0);
    EXPECT_EQ(streamColumn(), (Names{u"none", u"notice", u"alert2", u"alert"}));
    EXPECT_EQ(headerFormat(0), HDF_SORTDOWN);
    EXPECT_EQ(selectedRowsOf(state->listView), (std::vector<int>{1}));

    clickColumn(3);  // another column starts ascending, and only it has an arrow
    EXPECT_EQ(streamColumn(), (Names{u"notice", u"none", u"alert", u"alert2"}));
    EXPECT_EQ(headerFormat(3), HDF_SORTUP);
    EXPECT_EQ(headerFormat(0), 0);
    EXPECT_EQ(state->sortColumn, 3);

    state->scanning = true;  // clicks are ignored while rows arrive
    clickColumn(3);
    EXPECT_TRUE(state->sortAscending);
    EXPECT_EQ(streamColumn(), (Names{u"notice", u"none", u"alert", u"alert2"}));
    state->scanning = false;

    clearResults(*state);  // a new scan: no arrow, but the column is kept for its end
    EXPECT_EQ(headerFormat(3), 0);
    EXPECT_EQ(state->sortColumn, 3);
    EXPECT_EQ(itemCount(state->listView), 0);
    addRecords({makeRecord(u"C:\\a", u"f", u"big", 7), makeRecord(u"C:\\a", u"f", u"small", 2)});
    sortRows(*state, state->sortColumn, false);
    EXPECT_EQ(streamColumn(), (Names{u"small", u"big"}));
    EXPECT_EQ(headerFormat(3), HDF_SORTUP);
}

TEST_F(ResultListTest, TypingFindsTheNextRowWhosePathBeginsWithTheText) {
    addRecords({makeRecord(u"C:\\Data", u"a", u"s"), makeRecord(u"C:\\x", u"b", u"s"),
                makeRecord(u"C:\\DATA", u"c", u"s"), makeRecord(u"D:\\data", u"d", u"s")});
    const auto find = [&](const wchar_t* text, int start, UINT flags) {
        NMLVFINDITEMW request{};
        request.hdr.code = LVN_ODFINDITEMW;
        request.iStart = start;
        request.lvfi.flags = flags;
        request.lvfi.psz = text;
        return notify(request.hdr);
    };
    EXPECT_EQ(find(L"c:\\da", 0, LVFI_STRING | LVFI_PARTIAL), 0);
    EXPECT_EQ(find(L"c:\\da", 1, LVFI_STRING | LVFI_PARTIAL), 2);
    EXPECT_EQ(find(L"c:\\da", 3, LVFI_STRING | LVFI_PARTIAL), 0);
    EXPECT_EQ(find(L"d:\\DATA\\D", 0, LVFI_STRING), 3);
    EXPECT_EQ(find(L"d:\\DATA", 0, LVFI_STRING), -1);
    EXPECT_EQ(find(nullptr, 0, LVFI_STRING | LVFI_PARTIAL), -1);
    EXPECT_EQ(find(L"c:\\", 0, LVFI_PARAM), -1);

    // The list's own search reaches the same answer through the notification.
    LVFINDINFOW info{};
    info.flags = LVFI_STRING | LVFI_PARTIAL;
    info.psz = L"C:\\X";
    EXPECT_EQ(SendMessageW(state->listView, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(&info)),
              1);
}

TEST_F(ResultListTest, RemovingRecordsKeepsTheOrderAndClearsTheSelection) {
    addRecords({makeRecord(u"C:\\a", u"1", u"s1", 1), makeRecord(u"C:\\a", u"2", u"s2", 5),
                makeRecord(u"C:\\a", u"3", u"s3", 3), makeRecord(u"C:\\a", u"4", u"", 0),
                makeRecord(u"C:\\a", u"5", u"s5", 4)});
    clickColumn(3);  // by size: s1 s3 s5 s2, with the item row first
    EXPECT_EQ(streamColumn(), (Names{u"(no alternate streams)", u"s1", u"s3", u"s5", u"s2"}));
    selectOnly({1, 2, 3, 4});
    pumpFor(10ms);
    ASSERT_FALSE(menuGrayed(kCmdDeleteStreams));
    removeRecords(*state, {false, true, true, false, false});  // s2 and s3 went
    EXPECT_EQ(streamColumn(), (Names{u"(no alternate streams)", u"s1", u"s5"}));
    EXPECT_EQ(itemCount(state->listView), 3);
    EXPECT_TRUE(selectedRowsOf(state->listView).empty());
    EXPECT_EQ(state->rows.streamRowCount, 2u);
    EXPECT_EQ(headerFormat(3), HDF_SORTUP);
}

TEST_F(ResultListTest, StatusBarAndEmptyListFollowTheState) {
    streamscan::ScanStats stats;
    stats.files = 204;
    stats.folders = 87;
    stats.itemsWithStreams = 5;
    stats.accessDenied = 3;
    stats.linksNotFollowed = 1;
    state->stats = stats;
    state->scanEnded = true;
    addRecords({makeRecord(u"C:\\a", u"1", u"s1"), makeRecord(u"C:\\a", u"2", u"")});
    refreshStatusBar(*state);
    refreshEmptyListText(*state);
    EXPECT_EQ(statusPartText(state->statusBar, 1), u"204 files, 87 folders, 5 with streams");
    EXPECT_EQ(statusPartText(state->statusBar, 2), u"1 stream listed");
    EXPECT_EQ(statusPartText(state->statusBar, 3),
              u"\u26A0 Not examined: 3 denied, 1 links skipped");
    EXPECT_EQ(state->emptyListText,
              u"Nothing was listed, and part of the tree could not be read - see the status bar.");

    state->removedStreamCount = 1;
    removeRecords(*state, {true, true});
    refreshStatusBar(*state);
    refreshEmptyListText(*state);
    EXPECT_EQ(statusPartText(state->statusBar, 1),
              u"204 files, 87 folders, 5 had streams when scanned");
    EXPECT_EQ(statusPartText(state->statusBar, 2), u"0 streams listed");
    EXPECT_EQ(state->emptyListText,
              u"1 stream was removed, and nothing else was listed. Press F5 to scan again.");
}

}  // namespace
}  // namespace tessalin::gui

namespace tessalin::gui {
namespace {

TEST_F(ResultListTest, SortWithCollationKeysAgreesWithTheSystemComparison) {
    const char16_t* names[] = {u"r\u00E9sum\u00E9",
                               u"Resume",
                               u"resume",
                               u"co-op",
                               u"coop",
                               u"Co op",
                               u"file10",
                               u"file9",
                               u"FILE1",
                               u"_x",
                               u"\u00C4rger",
                               u"Zebra",
                               u"zebra",
                               u"a.b",
                               u"a-b",
                               u"",
                               u"\u0131",
                               u"I",
                               u"Stra\u00DFe",
                               u"strasse"};
    std::vector<streamscan::StreamRecord> records;
    for (int i = 0; i < 20; ++i) {
        auto r = makeRecord(u"C:\\t\\" + std::u16string(names[(i * 7) % 20]), names[(i * 3) % 20],
                            names[i]);
        r.note = names[(i * 11) % 20];
        records.push_back(r);
    }
    addRecords(records);
    for (int column : {1, 2, 6}) {
        for (bool toggle : {false, true}) {
            sortRows(*state, column, toggle);  // keyed, through the list
            ResultRows plain;
            plain.records = state->rows.records;
            plain.rowOrder = state->rows.rowOrder;
            ASSERT_TRUE(plain.sortBy(column, state->sortAscending));  // pairwise comparisons
            EXPECT_EQ(state->rows.rowOrder, plain.rowOrder)
                << column << " " << state->sortAscending;
        }
    }
}

}  // namespace
}  // namespace tessalin::gui
