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

constexpr NotExaminedCounter kCounters[] = {
    {&ScanStats::accessDenied, "accessDenied", u"denied", u"denied", u"denied", true},
    {&ScanStats::listFailed, "listFailed", u"failed to list", u"could not be listed",
     u"could not be listed", true},
    {&ScanStats::unreadableStreams, "unreadableStreams", u"unreadable", u"unreadable",
     u"unreadable", true},
    {&ScanStats::linksNotFollowed, "linksNotFollowed", u"links skipped", u"link not followed",
     u"links not followed", false},
    {&ScanStats::volumesWithoutStreams, "volumesWithoutStreams", u"not NTFS",
     u"volume without stream support", u"volumes without stream support", false},
    {&ScanStats::volumesNotRecognised, "volumesNotRecognised", u"not recognised",
     u"volume not recognised", u"volumes not recognised", true},
    {&ScanStats::volumesHidingStreams, "volumesHidingStreams", u"hidden by the mount",
     u"volume whose mount hides its streams", u"volumes whose mounts hide their streams", true},
};

}  // namespace

std::span<const NotExaminedCounter> notExaminedCounters() {
    return kCounters;
}

const NotExaminedCounter* counterOf(PlaceKind kind) {
    switch (kind) {
        case PlaceKind::accessDenied:
            return &kCounters[0];
        case PlaceKind::listFailed:
        case PlaceKind::depthLimit:
            return &kCounters[1];
        case PlaceKind::unreadableStream:
            return &kCounters[2];
        case PlaceKind::linkNotFollowed:
            return &kCounters[3];
        case PlaceKind::volumeWithoutStreams:
            return &kCounters[4];
        case PlaceKind::volumeNotRecognised:
            return &kCounters[5];
        case PlaceKind::volumeHidingStreams:
            return &kCounters[6];
        case PlaceKind::cancelled:
            break;
    }
    return nullptr;
}

bool ScanStats::everythingExamined() const {
    for (const NotExaminedCounter& counter : kCounters) {
        if (this->*counter.count != 0)
            return false;
    }
    return !cancelled;
}

bool somethingUnread(const ScanStats& stats) {
    for (const NotExaminedCounter& counter : kCounters) {
        if (counter.unread && stats.*counter.count != 0)
            return true;
    }
    return false;
}

void countPlace(ScanStats& stats, PlaceKind kind) {
    if (const NotExaminedCounter* counter = counterOf(kind))
        ++(stats.*counter->count);
    else
        stats.cancelled = true;
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
        case PlaceKind::volumeHidingStreams:
            return u"the streams of this NTFS volume cannot be listed through its mount: give "
                   u"read access to its device, or scan the device with --image";
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
