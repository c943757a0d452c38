// How a place a scan did not examine reads. The counting is in scan_context.h.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "engine/scan_types.h"

namespace streamscan {

// One counter of places a scan did not examine, with every word said of it.
// Every front end reads this one table: the status bar, the console summary,
// the CSV note, JSON, the empty-list and end-of-scan texts.
struct NotExaminedCounter {
    std::uint64_t ScanStats::*count;
    const char* jsonKey;  // the JSON summary's member, and a place's kind
    // The status bar's and the console's words; the same for any count, as they
    // label a counter rather than describe one item.
    std::u16string_view statusWords;
    std::u16string_view noteOne;   // the CSV note's words for a count of 1
    std::u16string_view noteMany;  // and for 2 or more
    // Part of the tree could not be read. Volumes without streams and links not
    // followed are explained apart, each in its own words.
    bool unread;
};

// In the order every list of them gives.
std::span<const NotExaminedCounter> notExaminedCounters();
// The counter a place of this kind grows; null for a stop, which is the flag.
const NotExaminedCounter* counterOf(PlaceKind kind);
// Whether a counter of places where part of the tree could not be read grew.
bool somethingUnread(const ScanStats& stats);

// Grows the counter of a place named outside a walk (the cancel flag for a stop).
void countPlace(ScanStats& stats, PlaceKind kind);

// Why the place was not examined, for a person: the error text for a system
// error, else the kind's own words ("link not followed").
std::u16string notExaminedReason(const NotExaminedPlace& place);
// "PATH: REASON", the path escaped for display: how every front end names a place.
std::u16string notExaminedPlaceText(const NotExaminedPlace& place);

}  // namespace streamscan
