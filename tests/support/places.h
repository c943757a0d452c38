// The places a scan named as not examined: kept by a sink, written as short
// lines for comparison, and checked to add up, kind by kind, to the counters.
#pragma once

#include <string>
#include <vector>

#include "engine/scan_types.h"

namespace streamscan {

struct PlaceLog {
    std::vector<NotExaminedPlace> places;

    // A sink that appends to `places`; the log must outlive the scan.
    PlaceSink sink();
    // "kind|path|code" per place, in the order named (path as UTF-8 for display).
    std::vector<std::string> lines() const;
};

// Every not-examined counter equals the number of places named for it, and a
// cancelled scan names exactly one place where the stop took effect.
void expectPlacesAddUp(const ScanStats& stats, const std::vector<NotExaminedPlace>& places);

}  // namespace streamscan
