// How one result row, the header and the progress line look on a console. The
// texts come from the result list's column functions, escaped for display, and
// are turned into UTF-8 with every lone surrogate written as its <U+DCxx> marker.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/scan_types.h"

namespace tessalin::cli {

// Rows stream out before the longest path is known, so the fixed-width columns
// come first, then the path, then the note. On a pipe or in a file every row is
// one line and the path has a column of its own; on a terminal a row fits the
// terminal's width, a path that does not fit taking a line of its own.
inline constexpr int kSeverityWidth = 8;  // "Severity", the title
inline constexpr int kSizeWidth = 9;      // "1023.9 KB"
inline constexpr int kZoneWidth = 16;     // "Restricted sites"
inline constexpr int kColumnGap = 2;
inline constexpr int kNoteReserve = 40;  // room kept for the note at the end
inline constexpr int kMinimumPathWidth = 24;
inline constexpr int kDefaultWidth = 120;  // when the output is not a terminal
// On a terminal: the widest severity a row holds ("Notice"), and the indent of a
// path on its own line.
inline constexpr int kTerminalSeverityWidth = 6;
inline constexpr int kPathIndent = 4;

struct RowLayout {
    int pathWidth = kMinimumPathWidth;
    int terminalWidth = 0;  // not 0: rows fit a terminal this many columns wide
};

// For a pipe or a file: one line a row, the path in a column.
RowLayout rowLayoutForWidth(int terminalWidth);
// For a terminal of `width` columns.
RowLayout terminalRowLayout(int width);

// What the row says after the path: the note, or for a download mark the address
// it came from ("Downloaded from ..."), with the referrer when `room` leaves space
// for it, escaped and cut with an ellipsis to `room` columns (no limit when
// `room` is negative). On a terminal the zone leads it.
std::string rowNote(const streamscan::StreamRecord& record, int room, bool withZone);

// Whether rows are coloured: only on a terminal, and never when NO_COLOR is set
// to anything or TERM is "dumb". `noColor` and `term` are the environment's
// values, null when unset.
bool colourWanted(bool stdoutIsTerminal, const char* noColor, const char* term);

// One row, ending in "\n". Alert rows are red and Notice rows yellow when
// `colour` is set; nothing else is ever coloured.
std::string formatRow(const streamscan::StreamRecord& record, const RowLayout& layout, bool colour);
// The column titles, aligned like the rows; none on a terminal, where the
// columns are only as wide as what they hold.
std::string formatHeader(const RowLayout& layout);

// The columns a UTF-8 text takes: one per code point (wide characters are not
// told apart; a long path then pushes its row a little further, nothing more).
int displayWidth(std::string_view utf8);

// The progress line on stderr: the counts, then the folder being listed, cut at
// the front to fit `width` columns. No line break.
std::string progressLine(const std::u16string& folder, const streamscan::ScanStats& stats,
                         std::uint64_t streamRows, int width);

// Raw text for the console: escaped for display, then UTF-8 with markers for
// lone surrogates. Texts that are already escaped go through utf8ForDisplay only.
std::string consoleText(std::u16string_view text);

}  // namespace tessalin::cli
