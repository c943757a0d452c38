#include "window/layout.h"

#include <gtest/gtest.h>

namespace tessalin {
namespace {

TEST(Layout, MulDivRoundsHalfAwayFromZeroLikeWindows) {
    const struct {
        int a, b, c, result;
    } cases[] = {
        {1120, 144, 96, 1680}, {1, 3, 2, 2},   {-1, 3, 2, -2}, {5, 120, 96, 6},
        {26, 120, 96, 33},     {3, 5, -2, -8}, {7, 1, 0, -1},  {2147483647, 2, 1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mulDiv(c.a, c.b, c.c), c.result) << c.a << "*" << c.b << "/" << c.c;
    }
}

TEST(Layout, WindowStatusBarButtonsAndListScaleWithTheDpi) {
    EXPECT_EQ(initialWindowRect(96, 1920, 1200), (Rect{400, 260, 1520, 940}));
    EXPECT_EQ(initialWindowRect(144, 1920, 1200), (Rect{120, 90, 1800, 1110}));
    EXPECT_EQ(initialWindowRect(0, 1920, 1200), initialWindowRect(96, 1920, 1200));
    EXPECT_EQ(initialWindowRect(144, 1280, 800), (Rect{0, 0, 1680, 1020}));  // never off-screen
    EXPECT_EQ(minimumTrackingSize(144), (Size{1350, 630}));
    // Part 0 takes what is left but keeps its least width.
    EXPECT_EQ(statusPartEdges(1100, 96), (std::array<int, 4>{420, 630, 770, -1}));
    EXPECT_EQ(statusPartEdges(700, 96), (std::array<int, 4>{140, 350, 490, -1}));
    EXPECT_EQ(statusPartEdges(1650, 144), (std::array<int, 4>{630, 945, 1155, -1}));
    const auto at96 = buttonRects(96);
    EXPECT_EQ(at96[1], (Rect{132, 8, 232, 34}));
    EXPECT_EQ(at96[5].right, 8 + 118 + 100 + 100 + 80 + 138 + 110 + 5 * 6);
    EXPECT_EQ(buttonRects(144)[0], (Rect{12, 12, 189, 51}));
    EXPECT_EQ(listRect(1104, 641, 22, 96), (Rect{8, 40, 1096, 611}));
    EXPECT_EQ(listRect(50, 50, 22, 96), (Rect{8, 40, 128, 100}));  // least sizes
}

TEST(Layout, NarrowListShrinksColumnsInTurnAndPathNeverBelowItsLeast) {
    const struct {
        int listWidth;
        ColumnWidths widths;
    } cases[] = {
        {2000, {72, 899, 150, 80, 112, 210, 200, 132, 120}},  // Path takes the rest
        {1301, {72, 200, 150, 80, 112, 210, 200, 132, 120}},
        {1259, {72, 200, 150, 80, 112, 210, 200, 132, 78}},
        {1129, {72, 200, 150, 80, 112, 210, 118, 94, 68}},
        {1128, {72, 200, 150, 80, 112, 209, 118, 94, 68}},
        {300, {60, 200, 100, 64, 82, 136, 118, 94, 68}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fitColumnWidths(c.listWidth, 96, 17, scaledColumnWidths(96)), c.widths)
            << c.listWidth;
    }
    const ColumnWidths tiny144 = fitColumnWidths(300, 144, 17, scaledColumnWidths(144));
    EXPECT_EQ(tiny144[kPathColumnIndex], 300);
    EXPECT_EQ(tiny144[8], 102);
}

}  // namespace
}  // namespace tessalin
