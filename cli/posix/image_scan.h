// tessalin-scan --image: opens each named image through the image port, says
// plainly which cannot be scanned, and scans the rest like any other roots.
// Linux only: the Windows build does not carry the image library.
#pragma once

#include <atomic>

#include "cli/console.h"
#include "cli/options.h"
#include "cli/scanner.h"
#include "engine/file_system.h"

namespace tessalin::cli {

// Returns the exit status; an image that cannot be opened or holds no file
// system sets the not-examined bit. `host` is where the report is written.
int runImageScan(CliOptions options, RunSettings settings, Console& console,
                 streamscan::FileSystem& host, const std::atomic<bool>& cancel);

}  // namespace tessalin::cli
