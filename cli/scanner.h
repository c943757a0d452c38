// One run of tessalin-scan after its arguments were accepted: prepare the roots,
// scan on this thread with rows going out as they arrive, say the summary, write
// the report, remove what was asked, and work out the exit status.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/options.h"
#include "engine/file_system.h"
#include "engine/image_layout.h"

namespace tessalin::cli {

struct RunSettings {
    bool colour = false;  // colourWanted, decided by the caller from the environment
    // A scan of disk images: the image files and segments being read, which no
    // output may replace, and the port output goes through (the host's).
    std::vector<streamscan::ItemIdentity> imagesRead;
    streamscan::FileSystem* outputPort = nullptr;
    // Places not examined before the scan began (an image that could not be
    // opened beside others that could): named and counted with the scan's own.
    std::vector<streamscan::NotExaminedPlace> placesBefore;
    // Mounted NTFS volumes read through their source: (mount point, source),
    // asked once the scan is over, for one line each in the summary.
    std::function<std::vector<std::pair<std::u16string, std::u16string>>()> volumesReadThrough;
    // Items of NTFS volumes read whole whose folder is gone (or whose parents
    // loop), listed under $OrphanFiles: asked once the scan is over.
    std::function<std::uint64_t()> orphansFound;
    // The command line as given, the program's name first: the manifest records it.
    std::vector<std::u16string> commandLine;
    // A scan of disk images: what each held as it was read, for the manifest;
    // asked once, when the extraction folder has been accepted.
    std::function<std::vector<streamscan::ImageLayout>()> imagesForManifest;
};

// Returns the exit status. `cancel` is the Ctrl+C flag; the scan stops between
// items once it is set. Nothing here throws but running out of memory.
int runScanner(const CliOptions& options, const RunSettings& settings, Console& console,
               streamscan::FileSystem& fs, const std::atomic<bool>& cancel);

}  // namespace tessalin::cli
