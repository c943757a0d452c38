// Scans a mutated disk image through the image port, listing deleted items too:
// whatever the bytes, opening either finds roots or says why not, and the scan
// finishes without a crash, a leak or a hang, with every row one it counted.
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "engine/image/image_file_system.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "fuzz/fuzz_support.h"

// A crafted size can make the library ask for petabytes; the C allocator then
// gives null, which the library reports as an error. The sanitizer's allocator
// must do the same, or it stops the run at a request that is handled. Whole
// stacks let the one leak below be told apart from any other.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:fast_unwind_on_malloc=0";
}

// The library's VMDK reader keeps what it made when it refuses a file, and
// nothing handed back could free it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:vmdk_open\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The library opens images by name: one scratch file per process, removed at exit.
    static const std::string scratch = [] {
        const char* folder = std::getenv("TMPDIR");
        static std::string path = std::string(folder && *folder ? folder : "/tmp") +
                                  "/image_fuzzer." + std::to_string(getpid()) + ".img";
        std::atexit([] { unlink(path.c_str()); });
        return path;
    }();
    std::ofstream(scratch, std::ios::binary).write(fuzzing::bytesOf(data, size).data(), size);

    streamscan::ImageFileSystem images(streamscan::nativeFileSystem(), true);
    const streamscan::ImageOpening opening =
        images.openImage(streamscan::decodeName(scratch), streamscan::kEveryPartition);
    fuzzing::check(opening.roots.empty() != opening.error.empty(), "roots, or why there are none");
    std::uint64_t streamRows = 0;
    const auto count = [&](const streamscan::StreamRecord& record) {
        fuzzing::check(record.headLength <= 16, "at most 16 head bytes");
        streamRows += record.streamName.empty() ? 0 : 1;
    };
    const streamscan::ScanStats stats = streamscan::scanRoots(
        opening.roots, {.showItemsWithoutStreams = true}, count, nullptr, nullptr, images);
    fuzzing::check(stats.streams >= streamRows, "every stream row counted");
    return 0;
}
