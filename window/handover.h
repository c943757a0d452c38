// The hand-over area between the window's scan worker and the window thread,
// which drains it on its timer. The worker appends and reports under one short
// lock and never waits for the reader; the reader takes everything that has
// accumulated in one move. The cancel flag is not part of
// it: it is a std::atomic<bool> the reader owns and the worker only reads.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"
#include "window/result_rows.h"

namespace tessalin {

// What one drain takes out of the hand-over area.
struct DrainedOutput {
    std::vector<streamscan::StreamRecord> records;  // in arrival order
    std::vector<RowKeys> keys;  // one per record when a key maker is set, else empty
    bool progress = false;      // folder and stats below are set only when true
    std::u16string folder;
    streamscan::ScanStats stats;
    std::vector<streamscan::NotExaminedPlace> places;  // in the order named
    std::uint64_t placesNamed = 0;                     // since the scan started
};

class HandOver {
  public:
    // Reader thread, while no worker runs: the worker makes each record's
    // collation keys as it hands the record over (outside the lock).
    void setKeyMaker(CollationKeyMaker maker);

    // Worker thread: a copy of the record joins the pending list.
    void appendRecord(const streamscan::StreamRecord& record);
    // Worker thread: the folder about to be listed and the counters so far.
    void reportProgress(const std::u16string& folder, const streamscan::ScanStats& counters);
    // Worker thread: a place not examined; every one is kept.
    void appendPlace(const streamscan::NotExaminedPlace& place);
    // Worker thread, once at the end: the counters the scan returned.
    void reportFinished(const streamscan::ScanStats& counters);
    // Worker thread, instead of reportFinished when the scan ended abnormally:
    // the scan counts as cancelled, the other counters stay as last reported.
    void reportAbnormalEnd();

    // Reader thread: moves all pending records out and, when something was
    // reported since the last drain, the folder and counters. Allocates nothing.
    DrainedOutput drain();
    // Reader thread, before a new worker starts: empties the area.
    void reset();

  private:
    std::mutex lock;             // guards every field below
    CollationKeyMaker keyMaker;  // set only while no worker runs
    std::vector<streamscan::StreamRecord> pendingRecords;
    std::vector<RowKeys> pendingKeys;
    std::u16string progressFolder;
    streamscan::ScanStats sharedStats;
    bool progressPending = false;
    std::vector<streamscan::NotExaminedPlace> pendingPlaces;
    std::uint64_t placesNamed = 0;
};

struct ScanCallbacks {
    streamscan::RecordSink recordSink;
    streamscan::ContinueCheck continueCheck;
    streamscan::ProgressSink progressSink;
    streamscan::PlaceSink placeSink;
};

// The callbacks a worker hands to scanRoots. Both objects must outlive
// the scan. The continue check reads the flag without taking the lock, so it
// may be set from anywhere, a signal handler included.
ScanCallbacks makeScanCallbacks(HandOver& handOver, const std::atomic<bool>& cancelRequested);

// What a worker is given when it starts; the worker owns it from then on.
struct ScanJob {
    std::vector<std::u16string> roots;  // prepared roots, in order
    streamscan::ScanOptions options;    // a copy taken when the scan started
};

// The body of the worker thread: scans the job's roots through `fs` and
// reports the end to the hand-over area. No exception leaves it; one that
// escapes the scan ends it as cancelled.
void runScanJob(const ScanJob& job, HandOver& handOver, const std::atomic<bool>& cancelRequested,
                streamscan::FileSystem& fs);

}  // namespace tessalin
