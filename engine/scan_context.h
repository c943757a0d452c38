// The state one scan shares across all levels of the walk. Private to the engine.
#pragma once

#include "engine/file_system.h"
#include "engine/scan_types.h"

namespace streamscan {

struct ScanContext {
    FileSystem& fs;
    const ScanOptions& options;
    RecordSink sink;  // never empty while a scan runs
    ContinueCheck continueCheck;
    ProgressSink progress;
    ScanStats stats;
};

}  // namespace streamscan
