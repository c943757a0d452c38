// The details view of one row: everything known about the host item and, for a
// stream row, the stream, its zone, its assessment and its first bytes. The Win32
// glue shows the text in an information box.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/file_system.h"
#include "engine/scan_types.h"
#include "frontend/message_box_style.h"

namespace tessalin {

// The first bytes as one line: two hex digits and a blank per byte, two more
// blanks, then the bytes as characters (printable ASCII, "." otherwise). Empty
// for a length of 0; a length above 16 is read as 16.
std::u16string headDump(const std::array<std::uint8_t, 16>& head, std::uint64_t headLength);

// The text of the details box, one "Label:\tvalue" line per known fact.
std::u16string detailsText(const streamscan::StreamRecord& record,
                           streamscan::PathStyle style = streamscan::kNativePathStyle);

// The box: that text, OK, the information icon.
BoxMessage detailsMessage(const streamscan::StreamRecord& record,
                          streamscan::PathStyle style = streamscan::kNativePathStyle);

}  // namespace tessalin
