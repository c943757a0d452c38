// The state one scan shares across all levels of the walk. Private to the engine.
#pragma once

#include <vector>

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
    PlaceSink places;  // may be empty
    // The root being walked and its identity, which every row keeps.
    std::u16string root;
    ItemIdentity rootIdentity;
    // With links followed: every root's identity (links resolved), and the
    // folders from the root down to the one being listed, to find loops.
    std::vector<ItemIdentity> rootIdentities;
    std::vector<ItemIdentity> walkChain;
};

// Counts a place that was not examined and names it to the place sink.
void countNotExamined(ScanContext& context, PlaceKind kind, const std::u16string& path,
                      std::uint32_t error = 0, const std::u16string& what = {});
// A refused (error 5) or otherwise failed look-up or listing.
void countFailure(ScanContext& context, const std::u16string& path, std::uint32_t error);

}  // namespace streamscan
