// Deletes named $DATA streams after a fixed set of refusal rules, and turns
// Windows error codes into short texts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"

namespace streamscan {

struct RemovalOutcome {
    std::u16string hostPath;
    std::u16string streamName;
    std::u16string streamType;
    bool removed = false;
    std::u16string message;
};

struct RemovalResult {
    std::uint32_t removedCount = 0;
    std::uint32_t failedCount = 0;
    std::uint32_t refusedCount = 0;
    std::vector<RemovalOutcome> outcomes;
};

inline constexpr std::u16string_view kItemChangedText = u"The item changed since the scan";

// RemovalTarget (engine/file_system.h) says what to remove and where it was listed.
bool ValidateRemovalTarget(const RemovalTarget& target, std::u16string* reason = nullptr);
RemovalResult RemoveStreams(const std::vector<RemovalTarget>& targets);
// `keepGoing` is asked before each target; once it says no, the run stops and
// the targets not reached count as failed, with no outcome, as after running
// out of memory.
RemovalResult RemoveStreams(const std::vector<RemovalTarget>& targets, FileSystem& fs,
                            const std::function<bool()>& keepGoing = {});
// "Access denied (5)", "Windows error (87)", and on Linux for an errno code the
// system's message followed by "(errno N)".
std::u16string WindowsErrorText(std::uint32_t code);

}  // namespace streamscan
