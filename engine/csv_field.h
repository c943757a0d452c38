// The report's pieces below writeCsvReport: its one quoting routine, the
// writing of a slice, and the sizes it works in. Only the report, its coverage
// note and their tests use them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/file_system.h"

namespace streamscan::detail {

inline constexpr std::size_t kReportSlice = 32768;
inline constexpr std::size_t kReportReserve = 36864;
inline constexpr std::uint32_t kMaxWritePiece = 67108864;

// Controls shown as markers, a formula start guarded by an apostrophe, and
// quotes around a field that needs them (or always, for the note's lines).
std::u16string csvField(const std::u16string& text, bool alwaysQuote = false);
void appendCsvField(std::u16string& report, const std::u16string& text, bool lastField);
// Writes the text as UTF-16LE, continuing after short writes.
bool writeReportBuffer(FileWriter& file, const std::u16string& text, std::u16string* message);

}  // namespace streamscan::detail
