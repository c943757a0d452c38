#include "cli/progress_line.h"

#include "cli/row_format.h"
#include "engine/unicode.h"
#include "frontend/scan_texts.h"

namespace tessalin::cli {
namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressLine::ProgressLine(Console& console)
    : console(console), enabled(console.errIsTerminal()), lastDraw(Clock::now()) {}

void ProgressLine::update(const std::u16string& folder, const streamscan::ScanStats& stats,
                          std::uint64_t streamRows) {
    if (!enabled)
        return;
    const Clock::time_point now = Clock::now();
    if (now - lastDraw < kProgressInterval)
        return;
    lastDraw = now;
    draw(progressLine(folder, stats, streamRows, console.errWidth()));
}

void ProgressLine::cancelling() {
    if (!enabled || saidCancelling)
        return;
    saidCancelling = true;
    lastDraw = Clock::now();
    draw(streamscan::utf8ForDisplay(std::u16string(kCancellingText)));
}

void ProgressLine::hide() {
    if (drawnWidth == 0)
        return;
    std::string blank(1, '\r');
    blank.append(static_cast<std::size_t>(drawnWidth), ' ');
    blank += '\r';
    console.err(blank);
    drawnWidth = 0;
    setProgressLineShown(false);
}

void ProgressLine::draw(const std::string& line) {
    const int width = displayWidth(line);
    std::string text = "\r" + line;
    if (drawnWidth > width)
        text.append(static_cast<std::size_t>(drawnWidth - width), ' ');
    console.err(text);
    drawnWidth = width;
    setProgressLineShown(true);
}

}  // namespace tessalin::cli
