#include "window/layout.h"

#include <gtest/gtest.h>

namespace tessalin {
namespace {

TEST(Layout, MulDivRoundsHalfAwayFromZeroLikeWindows) {
    EXPECT_EQ(mulDiv(1120, 144, 96), 1680);
    EXPECT_EQ(mulDiv(1, 3, 2), 2);
    EXPECT_EQ(mulDiv(-1, 3, 2), -2);
    EXPECT_EQ(mulDiv(5, 120, 96), 6);    // 6.25
    EXPECT_EQ(mulDiv(26, 120, 96), 33);  // 32.5 rounds up
    EXPECT_EQ(mulDiv(3, 5, -2), -8);     // -7.5
    EXPECT_EQ(mulDiv(7, 1, 0), -1);
    EXPECT_EQ(mulDiv(2147483647, 2, 1), -1);
}

TEST(Layout, WindowOpensAtItsScaledSizeCentredOnTheScreen) {
    EXPECT_EQ(initialWindowRect(96, 1920, 1200), (Rect{400, 260, 1520, 940}));
    EXPECT_EQ(initialWindowRect(144, 1920, 1200), (Rect{120, 90, 1800, 1110}));
    EXPECT_EQ(initialWindowRect(0, 1920, 1200), initialWindowRect(96, 1920, 1200));
    EXPECT_EQ(initialWindowRect(144, 1280, 800), (Rect{0, 0, 1680, 1020}));  // never off-screen
    EXPECT_EQ(minimumTrackingSize(96), (Size{900, 420}));
    EXPECT_EQ(minimumTrackingSize(144), (Size{1350, 630}));
}

TEST(Layout, StatusPartZeroTakesWhatIsLeftButKeepsItsLeastWidth) {
    EXPECT_EQ(statusPartEdges(1100, 96), (std::array<int, 4>{420, 630, 770, -1}));
    EXPECT_EQ(statusPartEdges(700, 96), (std::array<int, 4>{140, 350, 490, -1}));
    EXPECT_EQ(statusPartEdges(1650, 144), (std::array<int, 4>{630, 945, 1155, -1}));
}

TEST(Layout, ButtonsStandInOneRowAndTheListFillsTheRest) {
    const auto at96 = buttonRects(96);
    EXPECT_EQ(at96[0], (Rect{8, 8, 126, 34}));
    EXPECT_EQ(at96[1], (Rect{132, 8, 232, 34}));
    EXPECT_EQ(at96[5].right, 8 + 118 + 100 + 100 + 80 + 138 + 110 + 5 * 6);
    const auto at144 = buttonRects(144);
    EXPECT_EQ(at144[0].width(), 177);
    EXPECT_EQ(at144[0].height(), 39);
    EXPECT_EQ(listRect(1104, 641, 22, 96), (Rect{8, 40, 1096, 611}));
    EXPECT_EQ(listRect(50, 50, 22, 96), (Rect{8, 40, 128, 100}));  // least sizes
}

int sum(const ColumnWidths& widths) {
    int total = 0;
    for (int w : widths)
        total += w;
    return total;
}

TEST(Layout, NarrowListShrinksColumnsInTurnAndPathNeverBelowItsLeast) {
    const ColumnWidths created = scaledColumnWidths(96);
    const int scrollBar = 17;
    // Wide: every column at its created width, Path takes the rest.
    auto wide = fitColumnWidths(2000, 96, scrollBar, created);
    EXPECT_EQ(wide[kPathColumnIndex], 2000 - 8 - 17 - (sum(created) - created[1]));
    for (int i = 0; i < kListColumnCount; ++i) {
        if (i != kPathColumnIndex) {
            EXPECT_EQ(wide[i], created[i]);
        }
    }
    // The others sum to 1076: a list 1259 wide leaves 1234, Path needs 200, Attributes gives 42.
    ColumnWidths exact = created;
    exact[kPathColumnIndex] = 200;
    EXPECT_EQ(fitColumnWidths(1301, 96, scrollBar, created), exact);
    auto slightly = fitColumnWidths(1259, 96, scrollBar, created);
    EXPECT_EQ(slightly[8], 78);
    EXPECT_EQ(slightly[7], 132);
    EXPECT_EQ(slightly[kPathColumnIndex], 200);
    // Attributes then Modified then Note give way fully before Host URL moves.
    auto narrower = fitColumnWidths(1301 - 52 - 38 - 82, 96, scrollBar, created);
    EXPECT_EQ(narrower[8], 68);
    EXPECT_EQ(narrower[7], 94);
    EXPECT_EQ(narrower[6], 118);
    EXPECT_EQ(narrower[5], 210);
    EXPECT_EQ(narrower[kPathColumnIndex], 200);
    // Too narrow for everything: all at their smallest, Path at 200.
    auto tiny = fitColumnWidths(300, 96, scrollBar, created);
    for (int i = 0; i < kListColumnCount; ++i) {
        EXPECT_EQ(tiny[i], i == kPathColumnIndex ? 200 : kColumns[i].smallestAt96) << i;
    }
    // At 144 dpi the least widths scale too.
    auto tiny144 = fitColumnWidths(300, 144, scrollBar, scaledColumnWidths(144));
    EXPECT_EQ(tiny144[kPathColumnIndex], 300);
    EXPECT_EQ(tiny144[8], 102);
}

}  // namespace
}  // namespace tessalin
