#include "support/places.h"

#include <gtest/gtest.h>

#include "engine/unicode.h"

namespace streamscan {
namespace {

const char* kindName(PlaceKind kind) {
    switch (kind) {
        case PlaceKind::accessDenied:
            return "denied";
        case PlaceKind::listFailed:
            return "failed";
        case PlaceKind::depthLimit:
            return "depth";
        case PlaceKind::unreadableStream:
            return "unreadable";
        case PlaceKind::linkNotFollowed:
            return "link";
        case PlaceKind::volumeWithoutStreams:
            return "volume";
        case PlaceKind::cancelled:
            return "cancelled";
    }
    return "?";
}

}  // namespace

PlaceSink PlaceLog::sink() {
    return [this](const NotExaminedPlace& place) { places.push_back(place); };
}

std::vector<std::string> PlaceLog::lines() const {
    std::vector<std::string> out;
    for (const NotExaminedPlace& place : places) {
        out.push_back(std::string(kindName(place.kind)) + "|" + utf8ForDisplay(place.path) + "|" +
                      std::to_string(place.error));
    }
    return out;
}

void expectPlacesAddUp(const ScanStats& stats, const std::vector<NotExaminedPlace>& places) {
    ScanStats named;
    for (const NotExaminedPlace& place : places) {
        switch (place.kind) {
            case PlaceKind::accessDenied:
                ++named.accessDenied;
                break;
            case PlaceKind::listFailed:
            case PlaceKind::depthLimit:
                ++named.listFailed;
                break;
            case PlaceKind::unreadableStream:
                ++named.unreadableStreams;
                break;
            case PlaceKind::linkNotFollowed:
                ++named.linksNotFollowed;
                break;
            case PlaceKind::volumeWithoutStreams:
                ++named.volumesWithoutStreams;
                break;
            case PlaceKind::cancelled:
                EXPECT_FALSE(named.cancelled) << "a second cancel place";
                named.cancelled = true;
                break;
        }
    }
    EXPECT_EQ(named.accessDenied, stats.accessDenied);
    EXPECT_EQ(named.listFailed, stats.listFailed);
    EXPECT_EQ(named.unreadableStreams, stats.unreadableStreams);
    EXPECT_EQ(named.linksNotFollowed, stats.linksNotFollowed);
    EXPECT_EQ(named.volumesWithoutStreams, stats.volumesWithoutStreams);
    EXPECT_EQ(named.cancelled, stats.cancelled);
}

}  // namespace streamscan
