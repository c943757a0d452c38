// Lets gtest show a ScanStats as the designated initializer that would make
// it, so an expected counter set and a failure message read alike.
#pragma once

#include <ostream>

#include "engine/scan_counters.h"

namespace streamscan {

inline void PrintTo(const ScanStats& stats, std::ostream* out) {
    const char* separator = "";
    const auto field = [&](const char* name, std::uint64_t value) {
        if (value != 0) {
            *out << separator << "." << name << " = " << value;
            separator = ", ";
        }
    };
    *out << "{";
    forEachCounter(stats, field);
    field("cancelled", stats.cancelled ? 1 : 0);
    *out << "}";
}

}  // namespace streamscan
