// The text colour of a flagged row, chosen so that it reads on a light or a
// dark window background.
#pragma once

#include <cstdint>
#include <optional>

namespace tessalin {

struct RgbColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const RgbColour&, const RgbColour&) = default;
};

// (299 R + 587 G + 114 B) / 1000, in integers.
int luminance(RgbColour colour);

// The text colour for a row of the given severity against the window
// background; none for severity 0 (or any other level), which keeps the list's
// own colours.
std::optional<RgbColour> rowTextColour(std::uint32_t severity, RgbColour windowBackground);

}  // namespace tessalin
