#include "support/places.h"

#include <gtest/gtest.h>

#include "engine/not_examined.h"
#include "engine/unicode.h"
#include "support/scan_stats_printer.h"

namespace streamscan {

PlaceSink PlaceLog::sink() {
    return [this](const NotExaminedPlace& place) { places.push_back(place); };
}

std::vector<std::string> PlaceLog::lines() const {
    // In the order of PlaceKind.
    static const char* const kNames[] = {"denied", "failed",       "depth",  "unreadable", "link",
                                         "volume", "unrecognised", "hidden", "cancelled"};
    std::vector<std::string> out;
    for (const NotExaminedPlace& place : places) {
        out.push_back(std::string(kNames[static_cast<int>(place.kind)]) + "|" +
                      utf8ForDisplay(place.path) + "|" + std::to_string(place.error));
    }
    return out;
}

void expectPlacesAddUp(const ScanStats& stats, const std::vector<NotExaminedPlace>& places) {
    ScanStats named{.files = stats.files,
                    .folders = stats.folders,
                    .itemsWithStreams = stats.itemsWithStreams,
                    .streams = stats.streams,
                    .fileSystemStreams = stats.fileSystemStreams,
                    .metadataAttributes = stats.metadataAttributes,
                    .excluded = stats.excluded,
                    .linkLoops = stats.linkLoops};
    for (const NotExaminedPlace& place : places) {
        EXPECT_FALSE(place.kind == PlaceKind::cancelled && named.cancelled)
            << "a second cancel place";
        countPlace(named, place.kind);
    }
    EXPECT_EQ(named, stats);
}

}  // namespace streamscan
