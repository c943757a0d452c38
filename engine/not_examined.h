// How a place a scan did not examine reads. The counting is in scan_context.h.
#pragma once

#include <string>

#include "engine/scan_types.h"

namespace streamscan {

// Whether nothing was left unexamined: no counter of places grew and the scan
// ran to its end. Every front end's "everything examined" is this.
bool everythingExamined(const ScanStats& stats);

// Grows the counter of a place named outside a walk (the cancel flag for a stop).
void countPlace(ScanStats& stats, PlaceKind kind);

// Why the place was not examined, for a person: the error text for a system
// error, else the kind's own words ("link not followed").
std::u16string notExaminedReason(const NotExaminedPlace& place);
// "PATH: REASON", the path escaped for display: how every front end names a place.
std::u16string notExaminedPlaceText(const NotExaminedPlace& place);

}  // namespace streamscan
