// The scan driver: walks every root depth-first, counts everything it could not
// examine, and never lets an exception out. Runs on the caller's (worker) thread.
#pragma once

#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_context.h"

namespace streamscan {

inline constexpr int kMaxDepth = 256;

ScanStats scanRoots(const std::vector<std::u16string>& roots, const ScanOptions& options,
                    const RecordSink& sink, const ContinueCheck& continueCheck,
                    const ProgressSink& progress);
ScanStats scanRoots(const std::vector<std::u16string>& roots, const ScanOptions& options,
                    const RecordSink& sink, const ContinueCheck& continueCheck,
                    const ProgressSink& progress, FileSystem& fs,
                    const PlaceSink& places = PlaceSink());
void scanRoot(const std::u16string& root, ScanContext& context);
void walkFolder(const std::u16string& folder, ScanContext& context, int depth);
VolumeInfo queryVolume(const std::u16string& path);
VolumeInfo queryVolume(const std::u16string& path, FileSystem& fs);

}  // namespace streamscan
