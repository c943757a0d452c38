#include "window/handover.h"

#include <gtest/gtest.h>

#include "engine/path_forms.h"
#include "engine/tree_walk.h"
#include "support/allocation_failure.h"
#include "support/fake_file_system.h"
#include "support/scan_stats_printer.h"

namespace tessalin {
namespace {

using streamscan::ScanStats;
using streamscan::StreamRecord;

TEST(ScanWorker, HandsOverWhatADirectScanFinds) {
    streamscan::FakeFileSystem fs(streamscan::PathStyle::posix);
    for (const char16_t* file : {u"/a/x", u"/a/y", u"/b/z"})
        fs.addStream(file, u"Zone.Identifier", "[ZoneTransfer]");
    fs.addFolder(u"/locked");
    fs.refuse(streamscan::FakeOp::startListing, u"/locked");
    std::vector<StreamRecord> expected;
    const ScanStats stats = streamscan::scanRoots(
        {u"/"}, {}, [&](const StreamRecord& r) { expected.push_back(r); }, {}, {}, fs);
    HandOver handOver;
    runScanJob({{u"/"}, {}}, handOver, std::atomic<bool>{false}, fs);
    const DrainedOutput out = handOver.drain();
    ASSERT_EQ(out.records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(streamscan::recordStreamPath(out.records[i]),
                  streamscan::recordStreamPath(expected[i]));
    EXPECT_EQ(out.stats, stats);
    ASSERT_EQ(out.places.size(), 1u);
    EXPECT_EQ(out.places[0].path, u"/locked");
}

TEST(HandOver, DrainTakesTheLatestReportOnceWithoutAllocating) {
    HandOver handOver;
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
