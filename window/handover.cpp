#include "window/handover.h"

#include <utility>

#include "engine/tree_walk.h"

namespace tessalin {

void HandOver::appendRecord(const streamscan::StreamRecord& record) {
    std::lock_guard<std::mutex> guard(lock);
    pendingRecords.push_back(record);
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

DrainedOutput HandOver::drain() {
    DrainedOutput out;
    {
        std::lock_guard<std::mutex> guard(lock);
        out.records.swap(pendingRecords);
        if (progressPending) {
            out.progress = true;
            out.folder = progressFolder;
            out.stats = sharedStats;
            progressPending = false;
        }
    }
    return out;
}

void HandOver::reset() {
    std::vector<streamscan::StreamRecord> old;
    {
        std::lock_guard<std::mutex> guard(lock);
        old.swap(pendingRecords);
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
    return callbacks;
}

void runScanJob(const ScanJob& job, HandOver& handOver, const std::atomic<bool>& cancelRequested,
                streamscan::FileSystem& fs) {
    try {
        const ScanCallbacks callbacks = makeScanCallbacks(handOver, cancelRequested);
        const streamscan::ScanStats result =
            streamscan::scanRoots(job.roots, job.options, callbacks.recordSink,
                                  callbacks.continueCheck, callbacks.progressSink, fs);
        handOver.reportFinished(result);
    } catch (...) {
        // The driver lets nothing out, but a worker that dies silently would
        // leave the reader waiting for an end that never comes.
        handOver.reportAbnormalEnd();
    }
}

}  // namespace tessalin
