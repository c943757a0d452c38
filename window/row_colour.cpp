#include "window/row_colour.h"

#include "engine/assessment.h"

namespace tessalin {

int luminance(RgbColour colour) {
    return (299 * colour.red + 587 * colour.green + 114 * colour.blue) / 1000;
}

std::optional<RgbColour> rowTextColour(std::uint32_t severity, RgbColour windowBackground) {
    const bool dark = luminance(windowBackground) < 128;
    switch (severity) {
        case streamscan::kSeverityAlert:
            return dark ? RgbColour{255, 128, 118} : RgbColour{176, 0, 0};
        case streamscan::kSeverityNotice:
            return dark ? RgbColour{240, 190, 90} : RgbColour{150, 85, 0};
        default:
            return std::nullopt;
    }
}

}  // namespace tessalin
