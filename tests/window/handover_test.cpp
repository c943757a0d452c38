#include "window/handover.h"

#include <gtest/gtest.h>

#include <thread>

#include "engine/path_forms.h"
#include "engine/tree_walk.h"
#include "support/allocation_failure.h"
#include "support/fake_file_system.h"
#include "support/scan_stats_printer.h"

namespace tessalin {
namespace {

using streamscan::ScanStats;
using streamscan::StreamRecord;

// 20 folders of 25 files with one stream each, and one folder that is refused.
struct ScanTree : streamscan::FakeFileSystem {
    ScanTree() : FakeFileSystem(streamscan::PathStyle::posix) {
        addVolume(u"/", u"ntfs", true);
        for (char16_t d = u'a'; d < u'a' + 20; ++d) {
            for (char16_t f = u'a'; f < u'a' + 25; ++f)
                addStream(std::u16string{u'/', d, u'/', f}, u"Zone.Identifier", "[ZoneTransfer]");
        }
        addFolder(u"/locked");
        refuse(streamscan::FakeOp::startListing, u"/locked");
    }
};

// Runs a scan of the tree on a worker thread while this thread drains, as the
// window's timer does, then drains once more after the join, as its end does.
DrainedOutput scanWhileDraining(streamscan::FileSystem& fs, bool cancelled) {
    HandOver handOver;
    const std::atomic<bool> cancel{cancelled};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        runScanJob({{u"/"}, {}}, handOver, cancel, fs);
        done = true;
    });
    DrainedOutput all;
    const auto take = [&](DrainedOutput&& out) {
        std::move(out.records.begin(), out.records.end(), std::back_inserter(all.records));
        std::move(out.places.begin(), out.places.end(), std::back_inserter(all.places));
        all.stats = out.progress ? out.stats : all.stats;
    };
    while (!done)
        take(handOver.drain());
    worker.join();
    take(handOver.drain());
    return all;
}

TEST(ScanWorker, DeliversWhatADirectScanFindsInTheSameOrderOrStopsWhenCancelled) {
    ScanTree fs;
    std::vector<std::u16string> expected;
    const ScanStats stats = streamscan::scanRoots(
        {u"/"}, {},
        [&](const StreamRecord& r) { expected.push_back(streamscan::recordStreamPath(r)); }, {}, {},
        fs);
    const DrainedOutput seen = scanWhileDraining(fs, false);
    ASSERT_EQ(seen.records.size(), 500u);
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(streamscan::recordStreamPath(seen.records[i]), expected[i]);
    EXPECT_EQ(seen.stats, stats);
    ASSERT_EQ(seen.places.size(), 1u);
    EXPECT_EQ(seen.places[0].path, u"/locked");

    const DrainedOutput cancelled = scanWhileDraining(fs, true);
    EXPECT_TRUE(cancelled.records.empty());
    EXPECT_TRUE(cancelled.stats.cancelled);
}

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

TEST(HandOver, KeepsTheFirstThousandPlacesAndCountsEveryOne) {
    HandOver handOver;
    for (std::size_t i = 0; i < kKeptPlaceLimit + 2; ++i) {
        handOver.appendPlace({u"/p", streamscan::PlaceKind::accessDenied, 5});
        if (i == 0) {
            EXPECT_EQ(handOver.drain().places.size(), 1u);
        }
    }
    const DrainedOutput rest = handOver.drain();
    EXPECT_EQ(rest.places.size(), kKeptPlaceLimit - 1);
    EXPECT_EQ(rest.placesNamed, kKeptPlaceLimit + 2);
}

}  // namespace
}  // namespace tessalin
