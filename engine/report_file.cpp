#include "engine/report_file.h"

#include <algorithm>
#include <new>

#include "engine/display_escape.h"
#include "engine/output_target.h"
#include "engine/removal.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

// Failure paths must not throw again, also when the message cannot be allocated.
void setMessage(std::u16string* message, const char16_t* text) noexcept {
    if (message == nullptr)
        return;
    try {
        *message = text;
    } catch (...) {
        message->clear();
    }
}

}  // namespace

bool writeAllBytes(FileWriter& file, const std::uint8_t* bytes, std::uint64_t size,
                   std::u16string* message) {
    // Pieces of at most 1 MiB: a port takes no more than 32 bits of size at a time.
    constexpr std::uint64_t kPiece = 1048576;
    std::uint64_t offset = 0;
    while (offset < size) {
        const auto piece = static_cast<std::uint32_t>(std::min(size - offset, kPiece));
        std::uint32_t written = 0;
        std::uint32_t error = file.write(bytes + offset, piece, written);
        // A write that claims success but moves nothing would loop for ever; the
        // C runtime reads it as a full disk, and so do we.
        if (error == kErrorSuccess && written == 0)
            error = kErrorDiskFull;
        if (error != kErrorSuccess) {
            if (message != nullptr)
                *message = u"Could not write the report: " + WindowsErrorText(error);
            return false;
        }
        offset += std::min(written, piece);
    }
    return true;
}

bool writeReportFile(const std::u16string& path, const std::vector<StreamRecord>& records,
                     std::u16string* message, FileSystem& fs,
                     const std::function<bool(FileWriter&)>& content) {
    if (message != nullptr)
        message->clear();
    if (path.empty()) {
        setMessage(message, u"No file name was given for the report.");
        return false;
    }

    std::unique_ptr<FileWriter> file;
    bool written = false;
    const char16_t* failure = nullptr;
    try {
        // Never over an item whose streams these rows show. Items inside a disk
        // image are no files of the host, whatever their numbers say.
        KeptItems kept;
        if (fs.pathStyle() != PathStyle::image)
            kept.listed = listedHosts(records);
        const std::u16string refusal = outputRefusal(path, kept, fs);
        if (!refusal.empty()) {
            if (message != nullptr)
                *message = u"Will not write to " + escapeForDisplay(path) + u": " + refusal + u".";
            return false;
        }
        std::uint32_t error = fs.createFile(path, file);
        if (error == kErrorSuccess && file && (error = file->ownerNotKept()) != kErrorSuccess) {
            file->discard();
            file.reset();
            if (message != nullptr) {
                *message = u"Will not replace " + escapeForDisplay(path) +
                           u": its owner, group and mode could not be kept (" +
                           WindowsErrorText(error) + u").";
            }
            return false;
        }
        if (error != kErrorSuccess) {
            file.reset();
            // The path is escaped like every name that reaches a message.
            if (message != nullptr) {
                *message =
                    u"Could not create " + escapeForDisplay(path) + u": " + WindowsErrorText(error);
            }
            return false;
        }
        if (file)
            written = content(*file);
        else
            failure = u"The report could not be written.";
    } catch (const std::bad_alloc&) {
        failure = u"Ran out of memory while building the report.";
    } catch (...) {
        failure = u"The report could not be written.";
    }
    if (failure != nullptr)
        setMessage(message, failure);

    if (!file)
        return false;  // never created, so there is nothing to take back
    if (written) {
        std::uint32_t error = kErrorSuccess;
        try {
            error = file->commit();
        } catch (...) {
            error = kErrorNotEnoughMemory;
        }
        file.reset();
        if (error == kErrorSuccess)
            return true;
        if (message != nullptr) {
            try {
                *message =
                    u"Could not create " + escapeForDisplay(path) + u": " + WindowsErrorText(error);
            } catch (...) {
                message->clear();
            }
        }
        return false;
    }
    // A report is complete or absent: what was written so far goes, and the
    // earlier file keeps its content.
    try {
        file->discard();
    } catch (...) {
    }
    return false;
}

}  // namespace streamscan
