// One set of records with the exact report they make, shared by the engine test
// (through the in-memory file system) and the Windows test (through a real file),
// so both writers are held to the same bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/scan_types.h"

namespace streamscan {

// Windows-style host paths; times are 0 so the bytes do not depend on the time zone.
std::vector<StreamRecord> reportFixtureRecords();
ScanStats reportFixtureStats();
// The whole report of those records and stats, mark included.
std::u16string reportFixtureText();
// Each code unit low byte first, written out independently of the writer.
std::string littleEndianBytes(std::u16string_view text);

}  // namespace streamscan
