#include "window/layout.h"

#include <algorithm>

namespace tessalin {
namespace {

constexpr int kWindowWidth = 1120;
constexpr int kWindowHeight = 680;
constexpr int kMinTrackWidth = 900;
constexpr int kMinTrackHeight = 420;
constexpr int kStatusPart1Width = 210;
constexpr int kStatusPart2Width = 140;
constexpr int kStatusPart3Width = 330;
constexpr int kStatusPart0Least = 140;
constexpr int kMargin = 8;
constexpr int kGap = 6;
constexpr int kButtonHeight = 26;
constexpr int kListLeastWidth = 120;
constexpr int kListLeastHeight = 60;
constexpr int kColumnSlack = 8;
constexpr int kFilterHeight = 24;
constexpr int kPlacesDialogWidth = 760;
constexpr int kPlacesDialogHeight = 480;
constexpr int kDialogButtonWidth = 90;

int filterBarTop(int dpi) {
    return scaled(kMargin, dpi) + scaled(kButtonHeight, dpi) + scaled(kGap, dpi);
}

}  // namespace

int mulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    std::int64_t a = number;
    std::int64_t c = denominator;
    if (c < 0) {
        a = -a;
        c = -c;
    }
    const std::int64_t product = a * numerator;
    const std::int64_t result = product >= 0 ? (product + c / 2) / c : (product - c / 2) / c;
    if (result > 2147483647 || result < -2147483647)
        return -1;
    return static_cast<int>(result);
}

int usableDpi(int reported) {
    return reported < 1 ? 96 : reported;
}

Rect initialWindowRect(int screenDpi, int screenWidth, int screenHeight) {
    const int dpi = usableDpi(screenDpi);
    const int width = scaled(kWindowWidth, dpi);
    const int height = scaled(kWindowHeight, dpi);
    const int x = std::max((screenWidth - width) / 2, 0);
    const int y = std::max((screenHeight - height) / 2, 0);
    return {x, y, x + width, y + height};
}

Size minimumTrackingSize(int dpi) {
    return {scaled(kMinTrackWidth, dpi), scaled(kMinTrackHeight, dpi)};
}

std::array<int, kStatusPartCount> statusPartEdges(int clientWidth, int dpi) {
    const int part1 = scaled(kStatusPart1Width, dpi);
    const int part2 = scaled(kStatusPart2Width, dpi);
    const int part3 = scaled(kStatusPart3Width, dpi);
    // Part 0 keeps a readable width; on a narrow window the others move right.
    const int a = std::max(clientWidth - part2 - part1 - part3, scaled(kStatusPart0Least, dpi));
    return {a, a + part1, a + part1 + part2, -1};
}

std::array<Rect, kButtonCount> buttonRects(int dpi) {
    std::array<Rect, kButtonCount> rects{};
    const int margin = scaled(kMargin, dpi);
    const int gap = scaled(kGap, dpi);
    const int height = scaled(kButtonHeight, dpi);
    int x = margin;
    for (int i = 0; i < kButtonCount; ++i) {
        const int width = scaled(kButtons[i].widthAt96, dpi);
        rects[static_cast<std::size_t>(i)] = {x, margin, x + width, margin + height};
        x += width + gap;
    }
    return rects;
}

std::array<Rect, kFilterControlCount> filterBarRects(int dpi) {
    std::array<Rect, kFilterControlCount> rects{};
    const int top = filterBarTop(dpi);
    const int height = scaled(kFilterHeight, dpi);
    const int gap = scaled(kGap, dpi);
    int x = scaled(kMargin, dpi);
    for (int i = 0; i < kFilterControlCount; ++i) {
        const int width = scaled(kFilterControls[i].widthAt96, dpi);
        rects[static_cast<std::size_t>(i)] = {x, top, x + width, top + height};
        x += width + gap;
    }
    return rects;
}

Rect listRect(int clientWidth, int clientHeight, int statusBarHeight, int dpi) {
    const int margin = scaled(kMargin, dpi);
    const int top = filterBarTop(dpi) + scaled(kFilterHeight, dpi) + scaled(kGap, dpi);
    const int width = std::max(clientWidth - 2 * margin, scaled(kListLeastWidth, dpi));
    const int height =
        std::max(clientHeight - top - margin - statusBarHeight, scaled(kListLeastHeight, dpi));
    return {margin, top, margin + width, top + height};
}

Rect placesDialogRect(int dpi, const Rect& workArea) {
    const int width = std::min(scaled(kPlacesDialogWidth, dpi), workArea.width());
    const int height = std::min(scaled(kPlacesDialogHeight, dpi), workArea.height());
    const int x = workArea.left + (workArea.width() - width) / 2;
    const int y = workArea.top + (workArea.height() - height) / 2;
    return {x, y, x + width, y + height};
}

PlacesDialogLayout placesDialogLayout(int clientWidth, int clientHeight, int dpi) {
    const int margin = scaled(kMargin, dpi);
    const int gap = scaled(kGap, dpi);
    const int buttonWidth = scaled(kDialogButtonWidth, dpi);
    const int buttonHeight = scaled(kButtonHeight, dpi);
    const int buttonTop = std::max(clientHeight - margin - buttonHeight, margin);
    PlacesDialogLayout layout;
    layout.closeButton = {clientWidth - margin - buttonWidth, buttonTop, clientWidth - margin,
                          buttonTop + buttonHeight};
    layout.copyButton = {layout.closeButton.left - gap - buttonWidth, buttonTop,
                         layout.closeButton.left - gap, buttonTop + buttonHeight};
    layout.list = {margin, margin, std::max(clientWidth - margin, margin),
                   std::max(buttonTop - gap, margin)};
    return layout;
}

ColumnWidths scaledColumnWidths(int dpi) {
    ColumnWidths widths{};
    for (int i = 0; i < kListColumnCount; ++i) {
        widths[static_cast<std::size_t>(i)] = scaled(kColumns[i].widthAt96, dpi);
    }
    return widths;
}

ColumnWidths fitColumnWidths(int listWidth, int dpi, int scrollBarWidth,
                             const ColumnWidths& createdWidths) {
    const int available = listWidth - scaled(kColumnSlack, dpi) - scrollBarWidth;
    const int pathMinimum = scaled(kColumns[kPathColumnIndex].smallestAt96, dpi);

    ColumnWidths widths = createdWidths;
    int used = 0;
    for (int i = 0; i < kListColumnCount; ++i) {
        if (i != kPathColumnIndex)
            used += widths[static_cast<std::size_t>(i)];
    }
    for (const int column : kShrinkOrder) {
        if (available - used >= pathMinimum)
            break;
        int& width = widths[static_cast<std::size_t>(column)];
        const int smallest = scaled(kColumns[column].smallestAt96, dpi);
        if (width > smallest) {
            const int narrower = std::max(width - (used + pathMinimum - available), smallest);
            used -= width - narrower;
            width = narrower;
        }
    }
    widths[kPathColumnIndex] = std::max(available - used, pathMinimum);
    return widths;
}

}  // namespace tessalin
