#include "window/win32/scan_session.h"

#include <utility>

namespace tessalin {
namespace {

// What the worker thread is given; it owns this from the moment it starts.
struct WorkerStart {
    ScanJob job;
    HandOver* handOver;
    const std::atomic<bool>* cancelRequested;
    streamscan::FileSystem* fileSystem;
};

unsigned __stdcall scanWorker(void* parameter) {
    const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));
    runScanJob(start->job, *start->handOver, *start->cancelRequested, *start->fileSystem);
    return 0;
}

}  // namespace

void ScanSession::reset(PreparedRoots prepared, streamscan::FileSystem& fs) {
    volumes = std::make_unique<VolumeMemo>(fs);
    roots = std::move(prepared.roots);
    duplicateRoots = prepared.duplicates;
    nestedRoots = prepared.nested;
    stats = streamscan::ScanStats{};
    places.clear();
    placesNamed = 0;
    ended = false;
    recordsLeftOut = 0;
    worker.clearCancel();
    handOver.reset();
}

bool ScanSession::start(const streamscan::ScanOptions& options, WorkerThread::Starter starter) {
    auto start = std::make_unique<WorkerStart>(
        WorkerStart{{roots, options}, &handOver, &worker.cancelFlag(), volumes.get()});
    if (!worker.start(scanWorker, start.get(), starter))
        return false;
    start.release();  // the worker owns it now
    running = true;
    return true;
}

bool ScanSession::keepCountersAndPlaces(DrainedOutput& output) {
    const bool named = placesNamed != output.placesNamed;
    for (streamscan::NotExaminedPlace& place : output.places)
        places.push_back(std::move(place));
    placesNamed = output.placesNamed;
    if (output.progress)
        stats = output.stats;
    return named;
}

void ScanSession::end() {
    worker.join();
    if (volumes)
        volumes->stopRecording();
    running = false;
    ended = true;
}

}  // namespace tessalin
