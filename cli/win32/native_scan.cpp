#include "cli/native_scan.h"

#include <string>

#include "cli/summary.h"
#include "engine/file_system.h"
#include "engine/unicode.h"

namespace tessalin::cli {

int runNativeScan(const CliOptions& options, RunSettings settings, Console& console,
                  const std::atomic<bool>& cancel) {
    if (options.image) {
        console.err(streamscan::utf8ForDisplay(
            usageErrorText(u"--image reads disk images in the Linux build only")));
        return kExitUsage;
    }
    return runScanner(options, settings, console, streamscan::nativeFileSystem(), cancel);
}

}  // namespace tessalin::cli
