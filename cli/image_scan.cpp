#include "cli/image_scan.h"

#include "cli/summary.h"
#include "engine/display_escape.h"
#include "engine/image/image_file_system.h"
#include "engine/unicode.h"

namespace tessalin::cli {

int runImageScan(CliOptions options, RunSettings settings, Console& console,
                 streamscan::FileSystem& host, const std::atomic<bool>& cancel) {
    streamscan::ImageFileSystem images(host, options.deleted);
    const std::uint32_t partition = options.partition.value_or(streamscan::kEveryPartition);
    std::vector<std::u16string> roots;
    bool imageFailed = false;
    for (const std::u16string& path : options.paths) {
        const streamscan::ImageOpening opening = images.openImage(path, partition);
        if (!opening.error.empty()) {
            imageFailed = true;
            console.err(streamscan::utf8ForDisplay(
                std::u16string(kProgramName) + u": " + streamscan::escapeForDisplay(path) + u": " +
                streamscan::escapeForDisplay(opening.error) + u"\n"));
        }
        roots.insert(roots.end(), opening.roots.begin(), opening.roots.end());
    }
    if (roots.empty())
        return kExitNotExamined;

    options.paths = std::move(roots);
    if (options.deleted) {
        settings.hostDeleted = [&images](const std::u16string& hostPath) {
            return images.isDeleted(hostPath);
        };
    }
    const int status = runScanner(options, settings, console, images, cancel);
    return imageFailed && status < kExitUsage ? status | kExitNotExamined : status;
}

}  // namespace tessalin::cli
