// Deletes named $DATA streams after a fixed set of refusal rules, and turns
// Windows error codes into short texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace streamscan {

struct RemovalTarget {
    std::u16string hostPath;
    std::u16string streamName;
    std::u16string streamType;  // empty means $DATA
};

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

bool ValidateRemovalTarget(const RemovalTarget& target, std::u16string* reason = nullptr);
RemovalResult RemoveStreams(const std::vector<RemovalTarget>& targets);
RemovalResult RemoveStreams(const std::vector<RemovalTarget>& targets, FileSystem& fs);
// "Access denied (5)", "Windows error (87)", and on Linux for an errno code the
// system's message followed by "(errno N)".
std::u16string WindowsErrorText(std::uint32_t code);

}  // namespace streamscan
