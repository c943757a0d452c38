#include "cli/native_scan.h"

#include <string>
#include <utility>
#include <vector>

#include "cli/posix/image_scan.h"
#include "engine/file_system.h"
#include "engine/image/mounted_ntfs.h"

namespace tessalin::cli {

int runNativeScan(const CliOptions& options, RunSettings settings, Console& console,
                  const std::atomic<bool>& cancel) {
    streamscan::FileSystem& native = streamscan::nativeFileSystem();
    if (options.image)
        return runImageScan(options, settings, console, native, cancel);
    if (options.throughMount)
        return runScanner(options, settings, console, native, cancel);
    // A mounted NTFS volume is read as NTFS, through its device.
    streamscan::MountedNtfsReader reader(native);
    settings.volumesReadThrough = [&reader] {
        std::vector<std::pair<std::u16string, std::u16string>> read;
        for (const auto& volume : reader.volumesRead())
            read.emplace_back(volume.mountPoint, volume.source);
        return read;
    };
    settings.orphansFound = [&reader] { return reader.orphans(); };
    return runScanner(options, settings, console, reader, cancel);
}

}  // namespace tessalin::cli
