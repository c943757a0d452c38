// Where a report (the CSV file) goes on Linux, and how it gets there. A regular
// file is written beside its target and put in its place in one step, with the
// owner, group and mode of what it replaces; through a link, the file the link
// leads to is replaced and the link stays. A character device or a fifo
// (/dev/stdout, a pipe) is written as it is. Nothing else is written to.
#pragma once

#include <memory>
#include <string>

#include "engine/file_system.h"

namespace streamscan {

// What `path` names, links followed.
std::uint32_t reportTargetOf(const std::string& path, OutputTarget& target);

std::uint32_t createReportFile(const std::string& path, std::unique_ptr<FileWriter>& writer);

}  // namespace streamscan
