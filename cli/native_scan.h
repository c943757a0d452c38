// The scan of what the options name on this system's own file systems and
// images: cli/posix/native_scan.cpp and cli/win32/native_scan.cpp.
#pragma once

#include <atomic>

#include "cli/console.h"
#include "cli/options.h"
#include "cli/scanner.h"

namespace tessalin::cli {

// The exit status of the run.
int runNativeScan(const CliOptions& options, RunSettings settings, Console& console,
                  const std::atomic<bool>& cancel);

}  // namespace tessalin::cli
