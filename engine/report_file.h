// Writing one output file as a report is written: never over what the rows
// listed (or a root, or an image: engine/output_target.h), and complete or
// absent, since the port writes beside the target and puts it in place only
// when everything went.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"

namespace streamscan {

// Creates `path` through `fs` and has `content` write it; true when the file
// is complete and in place. `message` gets the reason otherwise (the texts of
// the CSV report's failures). `records` are the rows whose items it never replaces.
bool writeReportFile(const std::u16string& path, const std::vector<StreamRecord>& records,
                     std::u16string* message, FileSystem& fs,
                     const std::function<bool(FileWriter&)>& content);

// Writes all of `bytes` through `file`; false with "Could not write the report: "
// and the system's text in `message` when it cannot.
bool writeAllBytes(FileWriter& file, const std::uint8_t* bytes, std::uint64_t size,
                   std::u16string* message);

}  // namespace streamscan
