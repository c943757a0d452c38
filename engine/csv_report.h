// The CSV report: UTF-16LE with a mark, sixteen columns, the coverage note.
// A report is complete or absent.
#pragma once

#include <string>
#include <vector>

#include "engine/coverage_note.h"
#include "engine/file_system.h"
#include "engine/scan_types.h"

namespace streamscan {

bool writeCsvReport(const std::u16string& path, const std::vector<StreamRecord>& records,
                    std::u16string* message = nullptr, const ScanStats* stats = nullptr);
bool writeCsvReport(const std::u16string& path, const std::vector<StreamRecord>& records,
                    std::u16string* message, const ScanStats* stats, FileSystem& fs);

}  // namespace streamscan
