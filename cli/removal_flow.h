// --remove NAME: the listed streams of that name become removal targets through
// the delete command's planning (duplicates merged, refusals named), the same
// confirmation is shown and, unless --yes, answered on the terminal, and the
// result is told in the delete command's words.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"
#include "frontend/delete_plan.h"

namespace tessalin::cli {

// Whether a listed row is one --remove NAME acts on: a stream whose name matches
// any of the patterns ('*' any run, '?' one character, A-Z in either case).
bool matchesRemovalName(const streamscan::StreamRecord& record,
                        const std::vector<std::u16string>& patterns);

// The confirmation's paragraphs that speak of Windows (the Unblock button, the
// Recycle Bin) are said only where they are true: where the streams are removed
// through a Windows port.
ConfirmationWording confirmationWordingFor(streamscan::PathStyle style);

struct RemovalRequest {
    std::vector<std::u16string> names;  // the --remove patterns
    bool scanCancelled = false;
    bool askFirst = true;         // false with --yes
    ConfirmationWording wording;  // confirmationWordingFor the port that removes
};

struct RemovalIo {
    // Escaped text to show (lines ended by "\n").
    std::function<void(const std::u16string&)> say;
    // Shows the prompt and returns the answer; only called when asking.
    std::function<bool(std::u16string_view prompt)> confirm;
    // Asked before each stream is removed; false stops the removal there (Ctrl+C).
    std::function<bool()> keepGoing;
};

// Runs the removal over the kept rows (each matching a name, in scan order).
// The question first lists each stream name it would remove with its count.
// Returns true when a requested removal failed, was refused, or was not made
// because the scan was cancelled; a No from the user is not a failure.
bool runRemoval(const std::vector<streamscan::StreamRecord>& rows, const RemovalRequest& request,
                const RemovalIo& io, streamscan::FileSystem& fs);

// Whether an answer typed at the question means yes ("y" or "yes", any case).
bool isYesAnswer(std::string_view answer);

}  // namespace tessalin::cli
