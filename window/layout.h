// Layout arithmetic of the main window at any DPI: window size and place, the
// smallest tracking size, status-bar parts, buttons, the list and its columns.
// Lengths are given at 96 dpi and scaled with MulDiv's rounding.
#pragma once

#include <array>
#include <cstdint>

#include "window/command_ids.h"

namespace tessalin {

// MulDiv as Windows computes it: (a * b) / c rounded half away from zero in
// 64-bit arithmetic; -1 when c is 0 or the result does not fit.
int mulDiv(int number, int numerator, int denominator);
inline int scaled(int lengthAt96, int dpi) {
    return mulDiv(lengthAt96, dpi, 96);
}
// A DPI the system reported, or 96 when it reported nothing usable (below 1).
int usableDpi(int reported);

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// 1120 x 680 at 96 dpi, centred on the primary screen (never off its top-left).
Rect initialWindowRect(int screenDpi, int screenWidth, int screenHeight);
// 900 x 420 at 96 dpi.
Size minimumTrackingSize(int dpi);

inline constexpr int kStatusPartCount = 4;
// The right edges of the four status parts; the last is -1 (to the window's right end).
std::array<int, kStatusPartCount> statusPartEdges(int clientWidth, int dpi);

struct ButtonSpec {
    CommandId command;
    const char16_t* text;
    int widthAt96;
};
inline constexpr int kButtonCount = 6;
inline constexpr ButtonSpec kButtons[kButtonCount] = {
    {kCmdScanFolder, u"Scan Folder...", 118},
    {kCmdScanFile, u"Scan File...", 100},
    {kCmdRescan, u"Rescan (F5)", 100},
    {kCmdCancelScan, u"Cancel", 80},
    {kCmdDeleteStreams, u"Delete Streams...", 138},
    {kCmdExportCsv, u"Export CSV...", 110},
};
std::array<Rect, kButtonCount> buttonRects(int dpi);

// The filter bar below the buttons, left to right: a label and the name
// pattern's edit box, "Flagged only", a label and the minimum size's edit box.
inline constexpr int kFilterControlCount = 5;
struct FilterControlSpec {
    const char16_t* text;  // the label's or check box's text; empty for an edit box
    int widthAt96;
};
inline constexpr FilterControlSpec kFilterControls[kFilterControlCount] = {
    {u"Stream name:", 84}, {u"", 220}, {u"Flagged only", 100}, {u"Minimum size:", 86}, {u"", 90},
};
std::array<Rect, kFilterControlCount> filterBarRects(int dpi);

// The list between the filter bar and the status bar.
Rect listRect(int clientWidth, int clientHeight, int statusBarHeight, int dpi);

// The Not Examined dialog: 760 x 480 at 96 dpi, never larger than the work
// area, centred on it; its two buttons at the bottom right and the list above.
struct PlacesDialogLayout {
    Rect list;
    Rect copyButton;
    Rect closeButton;
};
Rect placesDialogRect(int dpi, const Rect& workArea);
PlacesDialogLayout placesDialogLayout(int clientWidth, int clientHeight, int dpi);

struct ColumnSpec {
    const char16_t* header;
    int widthAt96;
    bool rightAligned;
    int smallestAt96;  // the Path column's entry is its least width when it takes the rest
};
inline constexpr int kListColumnCount = 9;
inline constexpr int kPathColumnIndex = 1;
inline constexpr ColumnSpec kColumns[kListColumnCount] = {
    {u"Severity", 72, false, 60}, {u"Path", 300, false, 200},    {u"Stream", 150, false, 100},
    {u"Size", 80, true, 64},      {u"Zone", 112, false, 82},     {u"Host URL", 210, false, 136},
    {u"Note", 200, false, 118},   {u"Modified", 132, false, 94}, {u"Attributes", 120, false, 68},
};
// The columns that give way, in turn, when the list is too narrow for all of them.
inline constexpr int kShrinkOrder[kListColumnCount - 1] = {8, 7, 6, 5, 2, 4, 0, 3};

using ColumnWidths = std::array<int, kListColumnCount>;
ColumnWidths scaledColumnWidths(int dpi);
// The widths that fit a list `listWidth` wide: the Path column takes what is
// left (never below its least width) after the others got their widths from
// `createdWidths`, which give way in shrink order down to their smallest widths.
ColumnWidths fitColumnWidths(int listWidth, int dpi, int scrollBarWidth,
                             const ColumnWidths& createdWidths);

}  // namespace tessalin
