// The details view of one row: everything known about the host item and, for a
// stream row, the stream, its zone, its assessment and its first bytes. The Win32
// glue shows the text in an information box.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/file_system.h"
#include "engine/scan_types.h"
#include "frontend/message_box_style.h"

namespace tessalin {

// The first bytes as one line: two hex digits and a blank per byte, two more
// blanks, then the bytes as characters (printable ASCII, "." otherwise). Empty
// for a length of 0; a length above 16 is read as 16.
std::u16string headDump(const std::array<std::uint8_t, 16>& head, std::uint64_t headLength);

// The text of the details box, one "Label:\tvalue" line per known fact;
// `digest`, when not empty, is the stream's SHA-256 line's value.
std::u16string detailsText(const streamscan::StreamRecord& record,
                           streamscan::PathStyle style = streamscan::kNativePathStyle,
                           std::u16string_view digest = {});

// The box: that text, OK, the information icon.
BoxMessage detailsMessage(const streamscan::StreamRecord& record,
                          streamscan::PathStyle style = streamscan::kNativePathStyle,
                          std::u16string_view digest = {});

// Streams larger than this are read for their digest on a worker.
inline constexpr std::uint64_t kDigestOnWorkerAbove = 1 << 20;

// The SHA-256 of the very stream the row was listed from, read whole, in
// lowercase hex; or why there is none. Empty for an item row. Any thread;
// `stop`, when given and set, ends the reading early.
std::u16string streamDigestText(streamscan::FileSystem& fs, const streamscan::StreamRecord& record,
                                const std::atomic<bool>* stop = nullptr);

}  // namespace tessalin
