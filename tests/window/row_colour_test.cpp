#include "window/row_colour.h"

#include <gtest/gtest.h>

namespace tessalin {
namespace {

TEST(RowColour, FlaggedRowsGetAColourThatReadsOnTheBackground) {
    const RgbColour white{255, 255, 255};
    const RgbColour black{0, 0, 0};
    const RgbColour justDark{127, 128, 128};  // luminance 127
    EXPECT_EQ(luminance(justDark), 127);
    EXPECT_EQ(rowTextColour(2, white), (RgbColour{176, 0, 0}));
    EXPECT_EQ(rowTextColour(2, justDark), (RgbColour{255, 128, 118}));
    EXPECT_EQ(rowTextColour(2, RgbColour{128, 128, 128}), (RgbColour{176, 0, 0}));
    EXPECT_EQ(rowTextColour(1, white), (RgbColour{150, 85, 0}));
    EXPECT_EQ(rowTextColour(1, black), (RgbColour{240, 190, 90}));
    EXPECT_EQ(rowTextColour(0, white), std::nullopt);
    EXPECT_EQ(rowTextColour(3, black), std::nullopt);
}

}  // namespace
}  // namespace tessalin
