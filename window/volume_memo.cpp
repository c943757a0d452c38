#include "window/volume_memo.h"

#include "engine/path_forms.h"

namespace tessalin {

std::u16string VolumeMemo::keyOf(const std::u16string& path) {
    return streamscan::trimTrailingSeparator(inner.fullPath(path), inner.pathStyle());
}

streamscan::VolumeInfo VolumeMemo::queryVolume(const std::u16string& path) {
    const std::u16string key = keyOf(path);
    if (!recording) {
        const auto found = answers.find(key);
        return found == answers.end() ? streamscan::VolumeInfo{} : found->second;
    }
    const streamscan::VolumeInfo answer = inner.queryVolume(path);
    answers[key] = answer;
    return answer;
}

}  // namespace tessalin
