// The CSV report: UTF-16LE with a mark, sixteen columns, the coverage note.
// A report is complete or absent.
#pragma once

#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"

namespace streamscan {

inline constexpr std::size_t kReportSlice = 32768;
inline constexpr std::size_t kReportReserve = 36864;
inline constexpr std::uint32_t kMaxWritePiece = 67108864;

bool writeCsvReport(const std::u16string& path, const std::vector<StreamRecord>& records,
                    std::u16string* message = nullptr, const ScanStats* stats = nullptr);
bool writeCsvReport(const std::u16string& path, const std::vector<StreamRecord>& records,
                    std::u16string* message, const ScanStats* stats, FileSystem& fs);
std::u16string csvField(const std::u16string& text);
void appendCsvField(std::u16string& report, const std::u16string& text, bool lastField);
bool writeReportBuffer(FileWriter& file, const std::u16string& text, std::u16string* message);

// The closing note on what the scan did not examine: empty, or lines ended by \r\n.
std::u16string coverageNote(const ScanStats& stats);
std::u16string csvQuote(const std::u16string& text);
void appendPlainCount(std::u16string& text, std::uint64_t count, std::u16string_view singular,
                      std::u16string_view plural);

}  // namespace streamscan
