#include "engine/not_examined.h"

#include "engine/display_escape.h"
#include "engine/removal.h"
#include "engine/scan_context.h"
#include "engine/value_text.h"
#include "engine/win_codes.h"

namespace streamscan {
namespace {

std::u16string codeText(const char16_t* text, std::uint32_t code) {
    return text + (u" (" + plainDecimal(code) + u")");
}

// The counter a place of this kind grows; the cancel flag is not one.
std::uint64_t ScanStats::*counterOf(PlaceKind kind) {
    switch (kind) {
        case PlaceKind::accessDenied:
            return &ScanStats::accessDenied;
        case PlaceKind::unreadableStream:
            return &ScanStats::unreadableStreams;
        case PlaceKind::linkNotFollowed:
            return &ScanStats::linksNotFollowed;
        case PlaceKind::volumeWithoutStreams:
            return &ScanStats::volumesWithoutStreams;
        case PlaceKind::volumeNotRecognised:
            return &ScanStats::volumesNotRecognised;
        case PlaceKind::listFailed:
        case PlaceKind::depthLimit:
        case PlaceKind::cancelled:
            break;
    }
    return &ScanStats::listFailed;
}

}  // namespace

bool everythingExamined(const ScanStats& stats) {
    return !stats.cancelled && stats.accessDenied == 0 && stats.listFailed == 0 &&
           stats.unreadableStreams == 0 && stats.linksNotFollowed == 0 &&
           stats.volumesWithoutStreams == 0 && stats.volumesNotRecognised == 0;
}

void countPlace(ScanStats& stats, PlaceKind kind) {
    if (kind == PlaceKind::cancelled) {
        stats.cancelled = true;
    } else {
        ++(stats.*counterOf(kind));
    }
}

void countNotExamined(ScanContext& context, PlaceKind kind, const std::u16string& path,
                      std::uint32_t error, const std::u16string& what) {
    countPlace(context.stats, kind);
    if (context.places) {
        context.places(NotExaminedPlace{path, kind, error, what});
    }
}

void countFailure(ScanContext& context, const std::u16string& path, std::uint32_t error) {
    countNotExamined(context,
                     error == kErrorAccessDenied ? PlaceKind::accessDenied : PlaceKind::listFailed,
                     path, error);
}

std::u16string notExaminedReason(const NotExaminedPlace& place) {
    if (place.kind == PlaceKind::volumeNotRecognised) {
        return place.what.empty() ? u"no file system recognised"
                                  : place.what + u" volume, no file system recognised";
    }
    if (!place.what.empty()) {
        return place.what;
    }
    switch (place.kind) {
        case PlaceKind::depthLimit:
            return u"more than 255 levels below its root, not listed";
        case PlaceKind::linkNotFollowed:
            return u"link not followed";
        case PlaceKind::volumeWithoutStreams:
            return u"volume cannot hold alternate data streams";
        case PlaceKind::cancelled:
            return u"the scan was stopped here";
        case PlaceKind::accessDenied:
        case PlaceKind::listFailed:
        case PlaceKind::unreadableStream:
        case PlaceKind::volumeNotRecognised:
            break;
    }
    // The error table speaks of streams; a missing root or folder is not one.
    if (place.error == kErrorFileNotFound && place.kind != PlaceKind::unreadableStream) {
        return codeText(u"Not found", place.error);
    }
    if (place.error == kErrorNotEnoughMemory) {
        return codeText(u"Not enough memory", place.error);
    }
    if (place.error == kErrorSuccess) {
        // No call failed: a stream larger than what can be read of it, or a scan
        // that something other than the file system stopped.
        return place.kind == PlaceKind::unreadableStream ? u"could not be read whole"
                                                         : u"stopped by an unexpected error";
    }
    return WindowsErrorText(place.error);
}

std::u16string notExaminedPlaceText(const NotExaminedPlace& place) {
    return escapeForDisplay(place.path) + u": " + notExaminedReason(place);
}

}  // namespace streamscan
