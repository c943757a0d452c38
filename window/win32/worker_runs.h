// What the window's other workers work on: a removal, a save and a digest. Each
// worker writes its run's counters as it goes and the rest before it returns;
// the window reads the rest only after joining it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/removal.h"
#include "engine/scan_types.h"
#include "frontend/delete_plan.h"
#include "frontend/extraction.h"
#include "frontend/output_folder.h"
#include "window/win32/worker_thread.h"

namespace tessalin {

// A removal of confirmed targets.
struct RemovalRun {
    DeletePlan plan;
    std::atomic<std::uint64_t> reached{0};  // targets begun so far
    streamscan::RemovalResult result;
    WorkerThread worker;
};

// Streams being saved: copies of the rows (the list may change meanwhile), the
// folder opened for them and the engine that fills it.
struct SaveRun {
    std::vector<streamscan::StreamRecord> records;
    std::u16string path;
    OutputFolder folder;
    StreamContent content{&folder};
    std::atomic<std::uint64_t> reached{0};
    std::u16string failure;  // the manifest could not be started or completed
    WorkerThread worker;
};

// The SHA-256 of a large stream, read for the details view. It runs beside
// the others, not instead of them, and is cancelled only when the window closes.
struct DigestRun {
    streamscan::StreamRecord record;
    streamscan::FileSystem* fileSystem = nullptr;
    std::u16string digest;
    WorkerThread worker;
};

}  // namespace tessalin
