#include "engine/removal.h"

#include <new>

#include "engine/display_escape.h"
#include "engine/path_forms.h"
#include "engine/stream_listing.h"
#include "engine/platform_text.h"
#include "engine/unicode.h"
#include "engine/value_text.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

struct ErrorName {
    std::uint32_t code;
    const char16_t* text;
};

constexpr ErrorName kErrorNames[] = {
    {kErrorInvalidFunction, u"Not supported by this file system"},
    {kErrorFileNotFound, u"Stream not found"},
    {kErrorPathNotFound, u"Path not found"},
    {kErrorAccessDenied, u"Access denied"},
    {kErrorWriteProtect, u"The volume is write protected"},
    {kErrorNotReady, u"The drive is not ready"},
    {kErrorSharingViolation, u"The file is in use by another program"},
    {kErrorLockViolation, u"Part of the file is locked"},
    {kErrorNotSupported, u"Not supported by this file system"},
    {kErrorDiskFull, u"The disk is full"},
    {kErrorInvalidName, u"The stream name is not valid"},
    {kErrorFilenameTooLong, u"The path is too long"},
    {kErrorUnrecognizedVolume, u"The volume holds no file system this can read"},
    {kErrorFileCorrupt, u"The file or folder is damaged and unreadable"},
};

constexpr char16_t kReadOnlyHostText[] = u"The host file is read-only (5)";

bool containsNul(const std::u16string& text) {
    return text.find(u'\0') != std::u16string::npos;
}

}  // namespace

std::u16string WindowsErrorText(std::uint32_t code) {
    if (code == kErrorItemChanged)
        return std::u16string(kItemChangedText);
    if (code == kErrorStreamsHiddenByMount) {
        return u"This NTFS volume's mount shows none of its streams; remount it with "
               u"streams_interface=xattr to remove them";
    }
    std::u16string own;
    if (systemErrorText(code, own))
        return own;
    const char16_t* text = u"Windows error";
    for (const ErrorName& entry : kErrorNames) {
        if (entry.code == code) {
            text = entry.text;
            break;
        }
    }
    return text + (u" (" + plainDecimal(code) + u")");
}

bool ValidateRemovalTarget(const RemovalTarget& target, std::u16string* reason) {
    if (reason != nullptr)
        reason->clear();
    const char16_t* refusal = nullptr;
    std::u16string typeRefusal;
    if (target.streamName.empty()) {
        refusal = u"The stream name is empty, which names the file itself";
    } else if (target.streamName.find_first_of(u"\\/:") != std::u16string::npos) {
        refusal = u"The stream name contains \\, / or :, which would name another file";
    } else if (!isDataStreamType(target.streamType)) {
        // The type comes from the disk and lands in a message box: escaped, so a
        // hostile type cannot break or reverse the lines around it.
        typeRefusal = u"The stream type is " + escapeForDisplay(target.streamType) + u", not $DATA";
    } else if (target.hostPath.empty()) {
        refusal = u"The host path is empty";
    } else if (containsNul(target.hostPath) || containsNul(target.streamName) ||
               containsNul(target.streamType)) {
        refusal =
            u"The target contains an embedded NUL and would not reach the disk as the "
            u"stream shown";
    }
    if (refusal == nullptr && typeRefusal.empty())
        return true;
    if (reason != nullptr) {
        if (refusal != nullptr)
            *reason = refusal;
        else
            *reason = std::move(typeRefusal);
    }
    return false;
}

RemovalResult RemoveStreams(const std::vector<RemovalTarget>& targets, FileSystem& fs,
                            const std::function<bool()>& keepGoing) {
    RemovalResult result;
    try {
        result.outcomes.reserve(targets.size());
        for (const RemovalTarget& target : targets) {
            if (keepGoing && !keepGoing()) {
                result.failedCount +=
                    static_cast<std::uint32_t>(targets.size() - result.outcomes.size());
                return result;
            }
            RemovalOutcome outcome;
            outcome.hostPath = target.hostPath;
            outcome.streamName = target.streamName;
            outcome.streamType = target.streamType;

            // Everything that can allocate happens before a count moves, so a
            // target is counted exactly once: here, or among the unreached.
            if (!ValidateRemovalTarget(target, &outcome.message)) {
                result.outcomes.push_back(std::move(outcome));
                ++result.refusedCount;
                continue;
            }
            // Only the carrier the row was listed from goes: a sidecar file and
            // an attribute of one name are two rows, each removed on its own.
            const std::uint32_t error = fs.removeListedStream(target);
            if (error == kErrorSuccess) {
                outcome.removed = true;
                result.outcomes.push_back(std::move(outcome));
                ++result.removedCount;
                continue;
            }
            outcome.message = WindowsErrorText(error);
            if (error == kErrorAccessDenied) {
                // Only named, never changed: the attribute stays as the user set it.
                std::uint32_t attributes = 0;
                if (fs.plainAttributes(target.hostPath, attributes) == kErrorSuccess &&
                    (attributes & kAttributeReadOnly) != 0) {
                    outcome.message = kReadOnlyHostText;
                }
            }
            result.outcomes.push_back(std::move(outcome));
            ++result.failedCount;
        }
    } catch (...) {
        // Out of memory (or a port that broke its word): the run stops, and every
        // target without an outcome counts as failed.
        result.failedCount += static_cast<std::uint32_t>(targets.size() - result.outcomes.size());
    }
    return result;
}

std::uint32_t FileSystem::removeListedStream(const RemovalTarget& target) {
    if (target.hostIdentity.known) {
        ItemFacts facts;
        if (const std::uint32_t error = itemFacts(target.hostPath, facts); error != kErrorSuccess)
            return error;
        if (!(facts.identity == target.hostIdentity))
            return kErrorItemChanged;
    }
    if (target.sidecarFile) {
        const PathStyle style = pathStyle();
        return deleteFile(joinPath(parentPath(target.hostPath, style), target.carrier, style));
    }
    return deleteStream(target.hostPath, target.streamName, target.streamType);
}

}  // namespace streamscan
