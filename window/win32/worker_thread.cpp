#include "window/win32/worker_thread.h"

#include <process.h>

#include <cstdint>

namespace tessalin {

bool WorkerThread::start(Body body, void* argument, Starter starter) {
    clearCancel();
    HANDLE started =
        starter != nullptr
            ? starter(body, argument)
            : reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, body, argument, 0, nullptr));
    if (started == nullptr)
        return false;
    thread.reset(started);
    return true;
}

bool WorkerThread::returned() const {
    return !thread || WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
}

void WorkerThread::join() {
    if (!thread)
        return;
    WaitForSingleObject(thread.get(), INFINITE);
    thread.reset();
}

}  // namespace tessalin
