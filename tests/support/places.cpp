#include "support/places.h"

#include <gtest/gtest.h>

#include "engine/unicode.h"
#include "support/scan_stats_printer.h"

namespace streamscan {

PlaceSink PlaceLog::sink() {
    return [this](const NotExaminedPlace& place) { places.push_back(place); };
}

std::vector<std::string> PlaceLog::lines() const {
    // In the order of PlaceKind.
    static const char* const kNames[] = {"denied", "failed", "depth",        "unreadable",
                                         "link",   "volume", "unrecognised", "cancelled"};
    std::vector<std::string> out;
    for (const NotExaminedPlace& place : places) {
        out.push_back(std::string(kNames[static_cast<int>(place.kind)]) + "|" +
                      utf8ForDisplay(place.path) + "|" + std::to_string(place.error));
    }
    return out;
}

void expectPlacesAddUp(const ScanStats& stats, const std::vector<NotExaminedPlace>& places) {
    // The counter each kind grows, in the order of PlaceKind; a folder beyond the
    // depth limit counts as one that could not be listed.
    static std::uint64_t ScanStats::*const kCounters[] = {
        &ScanStats::accessDenied,        &ScanStats::listFailed,
        &ScanStats::listFailed,          &ScanStats::unreadableStreams,
        &ScanStats::linksNotFollowed,    &ScanStats::volumesWithoutStreams,
        &ScanStats::volumesNotRecognised};
    ScanStats named{.files = stats.files,
                    .folders = stats.folders,
                    .itemsWithStreams = stats.itemsWithStreams,
                    .streams = stats.streams,
                    .fileSystemStreams = stats.fileSystemStreams,
                    .metadataAttributes = stats.metadataAttributes,
                    .excluded = stats.excluded,
                    .linkLoops = stats.linkLoops};
    for (const NotExaminedPlace& place : places) {
        if (place.kind == PlaceKind::cancelled) {
            EXPECT_FALSE(named.cancelled) << "a second cancel place";
            named.cancelled = true;
        } else {
            ++(named.*kCounters[static_cast<int>(place.kind)]);
        }
    }
    EXPECT_EQ(named, stats);
}

}  // namespace streamscan
