// The Linux port when memory runs out between opening a descriptor and handing
// it to its owner: every allocation in turn is made to fail, and no descriptor
// (nor a half-made report file) may be left behind.
#include <dirent.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>

#include "engine/posix/posix_file_system.h"
#include "engine/unicode.h"
#include "engine/win_codes.h"
#include "support/real_volumes.h"
#include "support/allocation_failure.h"

namespace streamscan {
namespace {

int openDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count;
}

// Runs `call` with the n-th allocation failing, for n = 0, 1, ... until it
// gets through; `afterThrow` checks what a failed call left.
void failEachAllocationInTurn(const std::function<void(PosixFileSystem&)>& call,
                              const std::function<void()>& afterThrow = {}) {
    for (long n = 0; n < 100000; ++n) {
        PosixFileSystem fs;  // fresh, so its first look at the mount table is covered too
        const int before = openDescriptors();
        bool threw = false;
        testsupport::failAllocationsAfter(n);
        try {
            call(fs);
        } catch (const std::bad_alloc&) {
            threw = true;
        }
        testsupport::failAllocationsAfter(-1);
        ASSERT_EQ(openDescriptors(), before) << "allocation " << n << " failed";
        if (!threw)
            return;
        if (afterThrow)
            afterThrow();
    }
    FAIL() << "the call never got through";
}

TEST(PortAllocationFailure, NoDescriptorIsLeftOpen) {
    realfs::TempFolder folder("alloc");
    ASSERT_TRUE(folder.valid());
    const std::string file = folder.at("host.bin");
    ASSERT_TRUE(realfs::writeFile(file, "content"));

    failEachAllocationInTurn([&](PosixFileSystem& fs) {
        DirectoryEntry first;
        std::unique_ptr<DirectoryListing> listing;
        ASSERT_EQ(fs.startListing(decodeName(folder.path()), first, listing), kErrorSuccess);
    });
    failEachAllocationInTurn([&](PosixFileSystem& fs) {
        std::unique_ptr<StreamReader> reader;
        ASSERT_EQ(fs.openStream(decodeName(file), u"", u"$OTHER", false, reader), kErrorSuccess);
    });
}

TEST(PortAllocationFailure, AReportFileThatCannotBeWrittenIsNotLeftBehind) {
    realfs::TempFolder folder("alloc");
    ASSERT_TRUE(folder.valid());
    const std::string report = folder.at("report.csv");
    ASSERT_TRUE(realfs::writeFile(report, "an earlier report"));

    failEachAllocationInTurn(
        [&](PosixFileSystem& fs) {
            std::unique_ptr<FileWriter> writer;
            ASSERT_EQ(fs.createFile(decodeName(report), writer), kErrorSuccess);
        },
        [&] {
            // Untouched when the file was never opened, gone once it was emptied.
            std::string content;
            if (realfs::readFile(report, content)) {
                EXPECT_EQ(content, "an earlier report");
            }
        });
}

}  // namespace
}  // namespace streamscan
