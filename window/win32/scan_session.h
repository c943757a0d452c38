// One scan beside the window: its worker, the hand-over area the worker fills,
// the volume answers it found, its counters and the places it did not examine.
// The window thread calls every method and reads every field; the worker sees
// only the hand-over area (under its own lock), the cancel flag and the volume
// memo, which it is given when it starts. What the window shows of a scan is in
// scan_lifecycle.cpp.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_system.h"
#include "engine/scan_types.h"
#include "frontend/root_preparation.h"
#include "window/handover.h"
#include "window/volume_memo.h"
#include "window/win32/worker_thread.h"

namespace tessalin {

struct ScanSession {
    bool running = false;  // from a successful start until end
    bool ended = false;    // a scan has ended since start-up (false while one runs)
    WorkerThread worker;
    HandOver handOver;
    // The scan's file system as its worker saw it, with the volume answers it
    // found; made anew at each reset.
    std::unique_ptr<VolumeMemo> volumes;
    streamscan::ScanStats stats;                       // as last drained; final once ended
    std::uint64_t recordsLeftOut = 0;                  // records that found no room in the list
    std::vector<streamscan::NotExaminedPlace> places;  // in the order named
    std::uint64_t placesNamed = 0;
    std::vector<std::u16string> roots;  // the prepared roots of the last scan
    std::uint64_t duplicateRoots = 0;
    std::uint64_t nestedRoots = 0;

    // While no worker runs: forgets the last scan and takes these roots, read
    // through a memo of `fs`, for the next.
    void reset(PreparedRoots prepared, streamscan::FileSystem& fs);
    // After reset: the worker scans the roots with a copy of `options`. False
    // when no thread could be had; then nothing runs.
    bool start(const streamscan::ScanOptions& options, WorkerThread::Starter starter);
    // The worker has returned; never waits.
    bool workerReturned() const { return worker.started() && worker.returned(); }
    // What the worker handed over since the last drain; allocates nothing.
    DrainedOutput drain() { return handOver.drain(); }
    // Keeps a drain's counters and places (its records are the caller's). True
    // when places were named since the drain before.
    bool keepCountersAndPlaces(DrainedOutput& output);
    // Asks the worker to stop after the item in hand.
    void cancel() { worker.cancel(); }
    // Waits for the worker to return; from then on the volumes are named from
    // what the scan found. The caller drains once more for the final counters.
    void end();
    // The file system that names the last scan's volumes without asking them
    // again (an offline share would hold the window); `fallback` before any scan.
    streamscan::FileSystem& volumeAnswers(streamscan::FileSystem& fallback) {
        return volumes ? *volumes : fallback;
    }
};

}  // namespace tessalin
