// The nine columns of the result list and the raw text of each cell. The list
// shows escapeForDisplay of these texts; the console and the copy commands use
// the same functions, so every front end says the same thing in the same words.
#pragma once

#include <string>

#include "engine/scan_types.h"

namespace tessalin {

enum Column : int {
    kColumnSeverity = 0,
    kColumnPath = 1,
    kColumnStream = 2,
    kColumnSize = 3,
    kColumnZone = 4,
    kColumnHostUrl = 5,
    kColumnNote = 6,
    kColumnModified = 7,
    kColumnAttributes = 8,
};
inline constexpr int kColumnCount = 9;

// The raw (unescaped) text of one cell; empty for a column outside 0-8.
std::u16string columnText(const streamscan::StreamRecord& record, int column);

// The Note column's text: the note, or the unreadable wording added to it.
std::u16string noteText(const streamscan::StreamRecord& record);

}  // namespace tessalin
