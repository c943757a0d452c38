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
// `rowsFilteredOut`: rows a filter kept out of `records`, said in the coverage note.
bool writeCsvReport(const std::u16string& path, const std::vector<StreamRecord>& records,
                    std::u16string* message, const ScanStats* stats, FileSystem& fs,
                    std::uint64_t rowsFilteredOut = 0);

}  // namespace streamscan
