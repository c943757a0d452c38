// The entry points in the form the system description gives them (no port
// argument), on the port of the platform the program runs on. Kept apart so that code and tests
// built on a given FileSystem never depend on the native one.
#include "engine/csv_report.h"
#include "engine/path_forms.h"
#include "engine/removal.h"
#include "engine/tree_walk.h"

namespace streamscan {

std::u16string fullPathOf(const std::u16string& path) {
    return fullPathOf(path, nativeFileSystem());
}

VolumeInfo queryVolume(const std::u16string& path) {
    return queryVolume(path, nativeFileSystem());
}

ScanStats scanRoots(const std::vector<std::u16string>& roots, const ScanOptions& options,
                    const RecordSink& sink, const ContinueCheck& continueCheck,
                    const ProgressSink& progress) {
    return scanRoots(roots, options, sink, continueCheck, progress, nativeFileSystem());
}

bool writeCsvReport(const std::u16string& path, const std::vector<StreamRecord>& records,
                    std::u16string* message, const ScanStats* stats) {
    return writeCsvReport(path, records, message, stats, nativeFileSystem());
}

RemovalResult RemoveStreams(const std::vector<RemovalTarget>& targets) {
    return RemoveStreams(targets, nativeFileSystem());
}

}  // namespace streamscan
