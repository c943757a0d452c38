#include "window/handover.h"

#include <gtest/gtest.h>

#include "support/allocation_failure.h"
#include "support/scan_stats_printer.h"

namespace tessalin {
namespace {

using streamscan::ScanStats;
using streamscan::StreamRecord;

TEST(HandOver, DrainTakesTheLatestReportOnceWithoutAllocating) {
    HandOver handOver;
    EXPECT_FALSE(handOver.drain().progress);
    handOver.reportProgress(u"/a", {.folders = 3});
    const std::u16string latest = u"/a folder name longer than a short string holds";
    handOver.reportProgress(latest, {.files = 12, .folders = 4});
    handOver.appendRecord(StreamRecord{});
    // Running short of memory during a drain cannot lose what it took.
    testsupport::failAllocationsAfter(0);
    const DrainedOutput out = handOver.drain();
    testsupport::failAllocationsAfter(-1);
    EXPECT_EQ(out.records.size(), 1u);
    EXPECT_EQ(out.folder, latest);
    EXPECT_EQ(out.stats, (ScanStats{.files = 12, .folders = 4}));
    EXPECT_FALSE(handOver.drain().progress);
    // A worker that ends abnormally leaves a cancelled scan with the last counters.
    handOver.reportAbnormalEnd();
    EXPECT_EQ(handOver.drain().stats, (ScanStats{.files = 12, .folders = 4, .cancelled = true}));
}

}  // namespace
}  // namespace tessalin
