// Scans its arguments with the native port, as the programs do, and prints the
// counters; rows are only counted, so the time measured is the engine's and the
// port's, not a front end's. Run by bench/scan_bench.
//
// usage: scan_bench_driver PATH...
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/scan_counters.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: scan_bench_driver PATH...\n");
        return 2;
    }
    // Arguments are the bytes of Linux names (this driver is a Linux tool; on
    // Windows they would have to be UTF-8).
    std::vector<std::u16string> roots;
    for (int i = 1; i < argc; ++i) {
        roots.push_back(streamscan::decodeName(argv[i]));
    }
    std::uint64_t rows = 0;
    std::uint64_t zoneRows = 0;
    const streamscan::ScanStats stats =
        streamscan::scanRoots(roots, streamscan::ScanOptions{},
                              [&](const streamscan::StreamRecord& record) {
                                  ++rows;
                                  zoneRows += record.zone.isZoneIdentifier ? 1 : 0;
                              },
                              {}, {});
    const auto print = [](const char* name, std::uint64_t value) {
        std::printf("%s %llu\n", name, static_cast<unsigned long long>(value));
    };
    streamscan::forEachCounter(stats, print);
    print("rows", rows);
    print("zoneIdentifierRows", zoneRows);
    std::printf("cancelled %s\n", stats.cancelled ? "true" : "false");
    return 0;
}
