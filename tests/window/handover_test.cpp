#include "window/handover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/path_forms.h"
#include "engine/tree_walk.h"
#include "support/allocation_failure.h"
#include "support/fake_file_system.h"

namespace tessalin {
namespace {

using streamscan::FakeFileSystem;
using streamscan::PathStyle;
using streamscan::ScanStats;
using streamscan::StreamRecord;

// What the reading side saw over a whole scan.
struct Collected {
    std::vector<StreamRecord> records;
    std::vector<std::u16string> folders;
    ScanStats lastStats;
    bool sawProgress = false;
};

void take(Collected& collected, DrainedOutput&& out) {
    for (auto& record : out.records) {
        collected.records.push_back(std::move(record));
    }
    if (out.progress) {
        collected.sawProgress = true;
        collected.folders.push_back(out.folder);
        collected.lastStats = out.stats;
    }
}

// Runs `work` on a worker thread while this thread drains, as the window's
// timer does, then drains once more after the join, as the end of a scan does.
template <typename Work>
Collected drainWhileRunning(HandOver& handOver, Work work) {
    Collected collected;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done.store(true);
    });
    while (!done.load()) {
        take(collected, handOver.drain());
        std::this_thread::yield();
    }
    worker.join();
    take(collected, handOver.drain());
    return collected;
}

// Distinct names in a fixed order: n0, n1, ...
std::u16string hostNameOf(int i) {
    std::u16string name = u"n";
    for (char c : std::to_string(i)) {
        name += static_cast<char16_t>(c);
    }
    return name;
}

TEST(HandOver, EveryRecordArrivesOnceAndInOrderWhileTheReaderDrains) {
    constexpr int kRecords = 5000;
    HandOver handOver;
    const Collected seen = drainWhileRunning(handOver, [&] {
        ScanStats counters;
        for (int i = 0; i < kRecords; ++i) {
            StreamRecord record;
            record.hostName = hostNameOf(i);
            record.streamSize = static_cast<std::uint64_t>(i);
            handOver.appendRecord(record);
            if (i % 100 == 0) {
                counters.files = static_cast<std::uint64_t>(i);
                handOver.reportProgress(u"folder " + hostNameOf(i), counters);
            }
        }
        counters.files = kRecords;
        counters.streams = kRecords;
        handOver.reportFinished(counters);
    });
    ASSERT_EQ(seen.records.size(), static_cast<std::size_t>(kRecords));
    for (int i = 0; i < kRecords; ++i) {
        ASSERT_EQ(seen.records[i].streamSize, static_cast<std::uint64_t>(i));
        ASSERT_EQ(seen.records[i].hostName, hostNameOf(i));
    }
    EXPECT_TRUE(seen.sawProgress);
    EXPECT_EQ(seen.lastStats.files, static_cast<std::uint64_t>(kRecords));
    EXPECT_EQ(seen.lastStats.streams, static_cast<std::uint64_t>(kRecords));
    EXPECT_FALSE(seen.lastStats.cancelled);
}

TEST(HandOver, DrainTakesProgressOnlyWhenSomethingWasReported) {
    HandOver handOver;
    DrainedOutput first = handOver.drain();
    EXPECT_TRUE(first.records.empty());
    EXPECT_FALSE(first.progress);

    ScanStats counters;
    counters.folders = 3;
    counters.accessDenied = 1;
    handOver.reportProgress(u"C:\\a", counters);
    counters.folders = 4;
    const std::u16string latest = u"C:\\a folder name longer than a short string holds";
    handOver.reportProgress(latest, counters);
    handOver.appendRecord(StreamRecord{});
    // A drain allocates nothing, so running short of memory cannot lose what it took.
    testsupport::failAllocationsAfter(0);
    DrainedOutput second = handOver.drain();
    testsupport::failAllocationsAfter(-1);
    EXPECT_EQ(second.records.size(), 1u);
    ASSERT_TRUE(second.progress);
    EXPECT_EQ(second.folder, latest);  // only the latest report counts
    EXPECT_EQ(second.stats.folders, 4u);

    DrainedOutput third = handOver.drain();
    EXPECT_TRUE(third.records.empty());
    EXPECT_FALSE(third.progress);  // the flag was cleared by the drain before
}

TEST(HandOver, KeysAreMadeOnTheWorkerAndDrainedBesideTheirRecords) {
    HandOver handOver;
    std::atomic<int> calls{0};
    handOver.setKeyMaker([&](std::u16string_view text, std::string& key) {
        ++calls;
        key.assign(text.begin(), text.end());
        return text != u"refused";
    });
    StreamRecord kept;
    kept.hostFolder = u"C:\\d";
    kept.hostName = u"a.txt";
    kept.streamName = u"s";
    StreamRecord refused = kept;
    refused.streamName = u"refused";
    std::thread worker([&] {
        handOver.appendRecord(kept);
        handOver.appendRecord(refused);
    });
    worker.join();
    const DrainedOutput out = handOver.drain();
    ASSERT_EQ(out.keys.size(), 2u);
    EXPECT_TRUE(out.keys[0].made);
    const std::u16string path = streamscan::hostPathOf(kept);
    EXPECT_EQ(out.keys[0].hostPath, std::string(path.begin(), path.end()));
    EXPECT_EQ(out.keys[0].streamName, "s");
    EXPECT_FALSE(out.keys[1].made);
    EXPECT_EQ(calls.load(), 4);
}

TEST(HandOver, AbnormalEndCountsAsCancelledAndKeepsTheLastCounters) {
    HandOver handOver;
    ScanStats counters;
    counters.files = 12;
    counters.unreadableStreams = 2;
    handOver.reportProgress(u"C:\\deep", counters);
    handOver.reportAbnormalEnd();
    const DrainedOutput out = handOver.drain();
    ASSERT_TRUE(out.progress);
    EXPECT_TRUE(out.stats.cancelled);
    EXPECT_EQ(out.stats.files, 12u);
    EXPECT_EQ(out.stats.unreadableStreams, 2u);
}

TEST(HandOver, ResetLeavesNothingOfTheLastScan) {
    HandOver handOver;
    ScanStats counters;
    counters.files = 5;
    handOver.appendRecord(StreamRecord{});
    handOver.reportProgress(u"C:\\old", counters);
    handOver.reset();
    DrainedOutput out = handOver.drain();
    EXPECT_TRUE(out.records.empty());
    EXPECT_FALSE(out.progress);

    // The abnormal end of the next scan starts from zero, not from the old counters.
    handOver.reportAbnormalEnd();
    out = handOver.drain();
    ASSERT_TRUE(out.progress);
    EXPECT_EQ(out.stats.files, 0u);
    EXPECT_TRUE(out.stats.cancelled);
    EXPECT_TRUE(out.folder.empty());
}

// A tree of `folders` folders, each with `files` files carrying one stream.
void buildTree(FakeFileSystem& fs, int folders, int files) {
    fs.addVolume(u"C:\\", u"NTFS", true);
    fs.addFolder(u"C:\\tree");
    for (int d = 0; d < folders; ++d) {
        const std::u16string folder = u"C:\\tree\\d" + hostNameOf(d);
        fs.addFolder(folder);
        for (int f = 0; f < files; ++f) {
            const std::u16string file = folder + u"\\" + hostNameOf(f);
            fs.addFile(file, "content");
            fs.addStream(file, u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
        }
    }
}

TEST(HandOver, KeepsTheFirstThousandPlacesAndCountsEveryOne) {
    HandOver handOver;
    for (std::size_t i = 0; i < kKeptPlaceLimit + 2; ++i) {
        handOver.appendPlace({std::u16string(1, static_cast<char16_t>(u'a' + i % 26)),
                              streamscan::PlaceKind::accessDenied, 5});
        if (i == 0) {
            const DrainedOutput first = handOver.drain();
            ASSERT_EQ(first.places.size(), 1u);
            EXPECT_EQ(first.places[0].path, u"a");
            EXPECT_EQ(first.placesNamed, 1u);
        }
    }
    const DrainedOutput rest = handOver.drain();
    EXPECT_EQ(rest.places.size(), kKeptPlaceLimit - 1);
    EXPECT_EQ(rest.placesNamed, kKeptPlaceLimit + 2);
    handOver.reset();
    const DrainedOutput none = handOver.drain();
    EXPECT_TRUE(none.places.empty());
    EXPECT_EQ(none.placesNamed, 0u);
}

TEST(ScanWorker, DeliversWhatADirectScanFindsInTheSameOrder) {
    FakeFileSystem fs(PathStyle::windows);
    buildTree(fs, 40, 25);
    ScanJob job{{u"C:\\tree"}, streamscan::ScanOptions{}};

    std::vector<StreamRecord> expected;
    const ScanStats expectedStats = streamscan::scanRoots(
        job.roots, job.options, [&](const StreamRecord& r) { expected.push_back(r); }, {}, {}, fs);
    ASSERT_EQ(expected.size(), 1000u);

    HandOver handOver;
    std::atomic<bool> cancelRequested{false};
    const Collected seen =
        drainWhileRunning(handOver, [&] { runScanJob(job, handOver, cancelRequested, fs); });

    ASSERT_EQ(seen.records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(seen.records[i].hostFolder, expected[i].hostFolder) << i;
        ASSERT_EQ(seen.records[i].hostName, expected[i].hostName) << i;
        ASSERT_EQ(seen.records[i].streamName, expected[i].streamName) << i;
    }
    EXPECT_EQ(seen.lastStats.files, expectedStats.files);
    EXPECT_EQ(seen.lastStats.folders, expectedStats.folders);
    EXPECT_EQ(seen.lastStats.streams, expectedStats.streams);
    EXPECT_EQ(seen.lastStats.itemsWithStreams, expectedStats.itemsWithStreams);
    EXPECT_FALSE(seen.lastStats.cancelled);
    EXPECT_FALSE(seen.folders.empty());
}

// Holds the worker at the start of one folder's listing until the test lets
// it go, so a cancel can land at a known point of the walk.
class GatedFileSystem : public FakeFileSystem {
  public:
    GatedFileSystem(std::u16string gate)
        : FakeFileSystem(PathStyle::windows), gate(std::move(gate)) {}

    std::uint32_t startListing(const std::u16string& folder, streamscan::DirectoryEntry& first,
                               std::unique_ptr<streamscan::DirectoryListing>& listing) override {
        if (folder == gate) {
            std::unique_lock<std::mutex> hold(mutex);
            reached = true;
            changed.notify_all();
            changed.wait(hold, [&] { return released; });
        }
        return FakeFileSystem::startListing(folder, first, listing);
    }

    void waitUntilReached() {
        std::unique_lock<std::mutex> hold(mutex);
        changed.wait(hold, [&] { return reached; });
    }
    void release() {
        std::lock_guard<std::mutex> hold(mutex);
        released = true;
        changed.notify_all();
    }

  private:
    std::u16string gate;
    std::mutex mutex;
    std::condition_variable changed;
    bool reached = false;
    bool released = false;
};

TEST(ScanWorker, CancelStopsTheWorkerAndTheScanEndsCancelled) {
    const std::u16string gate = u"C:\\tree\\d" + hostNameOf(5);
    GatedFileSystem fs(gate);
    buildTree(fs, 20, 10);
    ScanJob job{{u"C:\\tree"}, streamscan::ScanOptions{}};
    HandOver handOver;
    std::atomic<bool> cancelRequested{false};

    const Collected seen = drainWhileRunning(handOver, [&] {
        std::thread canceller([&] {
            fs.waitUntilReached();
            cancelRequested.store(true);
            fs.release();
        });
        runScanJob(job, handOver, cancelRequested, fs);
        canceller.join();
    });

    // Folders d0-d4 were walked whole; the cancel landed before d5's first entry.
    EXPECT_EQ(seen.records.size(), 50u);
    EXPECT_TRUE(seen.lastStats.cancelled);
    EXPECT_EQ(seen.lastStats.streams, 50u);
    ASSERT_FALSE(seen.folders.empty());
}

}  // namespace
}  // namespace tessalin
