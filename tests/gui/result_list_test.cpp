// The virtual list over a scanned tree: what each cell shows, the colours of
// flagged rows, type-to-find, and sorting by a column click.
#include "engine/display_escape.h"
#include "frontend/column_text.h"
#include "gui/window_fixture.h"
#include "window/row_colour.h"

namespace tessalin::gui {
namespace {

TEST_F(WindowTest, CellsShowTheEscapedColumnTextsAndFlaggedRowsTheirColourAndTypingFinds) {
    scan();
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const RgbColour background{GetRValue(window), GetGValue(window), GetBValue(window)};
    int flagged = 0;  // selected, it keeps the list's highlight
    while (!rowTextColour(recordAt(flagged).severity, background))
        ++flagged;
    select({flagged});
    NMLVCUSTOMDRAW draw{
        .nmcd = {.hdr = {.code = UINT(NM_CUSTOMDRAW)}, .dwDrawStage = CDDS_PREPAINT}};
    EXPECT_EQ(notify(draw.nmcd.hdr), CDRF_NOTIFYITEMDRAW);
    for (int row = 0; row < itemCount(); ++row) {
        for (int column = 0; column < kColumnCount; ++column) {
            wchar_t text[1024] = {};
            ListView_GetItemText(state->listView, row, column, text, 1024);
            EXPECT_EQ(fromWide(text),
                      streamscan::escapeForDisplay(columnText(recordAt(row), column)));
        }
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        draw.nmcd.dwItemSpec = DWORD_PTR(row);
        draw.clrText = CLR_DEFAULT;
        const auto colour =
            row == flagged ? std::nullopt : rowTextColour(recordAt(row).severity, background);
        EXPECT_EQ(notify(draw.nmcd.hdr), colour ? CDRF_NEWFONT : CDRF_DODEFAULT) << row;
        EXPECT_EQ(draw.clrText,
                  colour ? RGB(colour->red, colour->green, colour->blue) : COLORREF(CLR_DEFAULT));
    }
    NMLVFINDITEMW find{.hdr = {.code = UINT(LVN_ODFINDITEMW)},
                       .lvfi = {.flags = LVFI_STRING | LVFI_PARTIAL, .psz = L"c:\\DL\\s"}};
    EXPECT_EQ(notify(find.hdr), results().findRow(u"c:\\DL\\s", 0, true));  // type-to-find
}

// A click sorts through the worker's collation keys; the order must be the one
// the system's own comparison gives, with names where the user's locale matters.
TEST_F(WindowTest, ColumnClicksSortAsTheSystemComparesKeepTheSelectionAndShowTheArrow) {
    for (const char16_t* name : {u"r\u00E9sum\u00E9", u"Resume", u"co-op", u"coop", u"Co op",
                                 u"file10", u"file9", u"_x", u"\u00C4rger", u"Stra\u00DFe"})
        fs.addStream(u"C:\\dl\\sub\\deep.txt", name, "x");
    scan();
    select({4});
    const streamscan::StreamRecord* selected = &recordAt(4);
    NMLISTVIEW click{.hdr = {.code = UINT(LVN_COLUMNCLICK)}, .iItem = -1, .iSubItem = 2};
    for (const bool ascending : {true, false}) {
        notify(click.hdr);
        ResultRows plain = results();
        ASSERT_TRUE(plain.sortBy(2, ascending));  // pairwise, through the system
        EXPECT_EQ(results().rowOrder, plain.rowOrder);
        EXPECT_EQ(&recordAt(selectedRows(*state).at(0)), selected);
    }
    HDITEMW item{.mask = HDI_FORMAT};
    Header_GetItem(ListView_GetHeader(state->listView), 2, &item);
    EXPECT_EQ(item.fmt & (HDF_SORTUP | HDF_SORTDOWN), HDF_SORTDOWN);
}

}  // namespace
}  // namespace tessalin::gui
