#include "window/handover.h"

#include <utility>

#include "engine/tree_walk.h"

namespace tessalin {

void HandOver::setKeyMaker(CollationKeyMaker maker) {
    keyMaker = std::move(maker);
}

void HandOver::appendRecord(const streamscan::StreamRecord& record) {
    RowKeys keys;
    if (keyMaker)
        keys = makeRowKeys(record, keyMaker);
    std::lock_guard<std::mutex> guard(lock);
    if (keyMaker)
        pendingKeys.push_back(std::move(keys));
    try {
        pendingRecords.push_back(record);
    } catch (...) {
        // Records and their keys stay pairs.
        if (keyMaker)
            pendingKeys.pop_back();
        throw;
    }
}

void HandOver::reportProgress(const std::u16string& folder, const streamscan::ScanStats& counters) {
    std::lock_guard<std::mutex> guard(lock);
    progressFolder = folder;
    sharedStats = counters;
    progressPending = true;
}

void HandOver::reportFinished(const streamscan::ScanStats& counters) {
    std::lock_guard<std::mutex> guard(lock);
    sharedStats = counters;
    progressPending = true;
}

void HandOver::reportAbnormalEnd() {
    std::lock_guard<std::mutex> guard(lock);
    sharedStats.cancelled = true;
    progressPending = true;
}

void HandOver::appendPlace(const streamscan::NotExaminedPlace& place) {
    std::lock_guard<std::mutex> guard(lock);
    pendingPlaces.push_back(place);
    ++placesNamed;
}

DrainedOutput HandOver::drain() {
    DrainedOutput out;
    {
        std::lock_guard<std::mutex> guard(lock);
        out.records.swap(pendingRecords);
        out.keys.swap(pendingKeys);
        out.places.swap(pendingPlaces);
        out.placesNamed = placesNamed;
        if (progressPending) {
            // Swapped, not copied: a drain allocates nothing, so running out of
            // memory can never lose what it took out. The next report refills it.
            out.progress = true;
            out.folder.swap(progressFolder);
            out.stats = sharedStats;
            progressPending = false;
        }
    }
    return out;
}

void HandOver::reset() {
    std::vector<streamscan::StreamRecord> old;
    std::vector<RowKeys> oldKeys;
    std::vector<streamscan::NotExaminedPlace> oldPlaces;
    {
        std::lock_guard<std::mutex> guard(lock);
        old.swap(pendingRecords);
        oldKeys.swap(pendingKeys);
        oldPlaces.swap(pendingPlaces);
        placesNamed = 0;
        progressFolder.clear();
        sharedStats = streamscan::ScanStats{};
        progressPending = false;
    }
    // The old records are destroyed here, outside the lock.
}

ScanCallbacks makeScanCallbacks(HandOver& handOver, const std::atomic<bool>& cancelRequested) {
    ScanCallbacks callbacks;
    callbacks.recordSink = [&handOver](const streamscan::StreamRecord& record) {
        handOver.appendRecord(record);
    };
    callbacks.continueCheck = [&cancelRequested] { return !cancelRequested.load(); };
    callbacks.progressSink = [&handOver](const std::u16string& folder,
                                         const streamscan::ScanStats& counters) {
        handOver.reportProgress(folder, counters);
    };
    callbacks.placeSink = [&handOver](const streamscan::NotExaminedPlace& place) {
        handOver.appendPlace(place);
    };
    return callbacks;
}

void runScanJob(const ScanJob& job, HandOver& handOver, const std::atomic<bool>& cancelRequested,
                streamscan::FileSystem& fs) {
    try {
        const ScanCallbacks callbacks = makeScanCallbacks(handOver, cancelRequested);
        const streamscan::ScanStats result = streamscan::scanRoots(
            job.roots, job.options, callbacks.recordSink, callbacks.continueCheck,
            callbacks.progressSink, fs, callbacks.placeSink);
        handOver.reportFinished(result);
    } catch (...) {
        // The driver lets nothing out, but a worker that dies silently would
        // leave the reader waiting for an end that never comes.
        handOver.reportAbnormalEnd();
    }
}

}  // namespace tessalin
