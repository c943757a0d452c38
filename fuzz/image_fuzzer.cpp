// Scans a mutated disk image through the image port, listing deleted items too:
// whatever the bytes, opening either finds roots or says why not, and the scan
// finishes without a crash, a leak or a hang, with every row one it counted.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/image/image_file_system.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "fuzz_support.h"

namespace {

// One scratch file per process, rewritten for each input: the library opens
// images by name.
const std::string& scratchImage() {
    static const std::string path = [] {
        const char* folder = std::getenv("TMPDIR");
        std::string made = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") +
                           "/image_fuzzer." + std::to_string(getpid()) + ".img";
        std::atexit([] { unlink(scratchImage().c_str()); });
        return made;
    }();
    return path;
}

bool writeScratch(const std::uint8_t* data, std::size_t size) {
    const int fd = open(scratchImage().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = write(fd, data + done, size - done);
        if (wrote <= 0) {
            break;
        }
        done += static_cast<std::size_t>(wrote);
    }
    close(fd);
    return done == size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!writeScratch(data, size)) {
        return 0;
    }
    streamscan::ImageFileSystem images(streamscan::nativeFileSystem(), true);
    const streamscan::ImageOpening opening =
        images.openImage(streamscan::decodeName(scratchImage()), streamscan::kEveryPartition);
    fuzzing::check(opening.roots.empty() != opening.error.empty(), "roots, or why there are none");

    streamscan::ScanOptions options;
    options.showItemsWithoutStreams = true;
    std::uint64_t streamRows = 0;
    const streamscan::ScanStats stats = streamscan::scanRoots(
        opening.roots, options,
        [&](const streamscan::StreamRecord& record) {
            fuzzing::check(record.headLength <= 16, "at most 16 head bytes");
            if (!record.streamName.empty()) {
                ++streamRows;
            }
        },
        nullptr, nullptr, images);
    fuzzing::check(stats.streams >= streamRows, "every stream row counted");
    return 0;
}
