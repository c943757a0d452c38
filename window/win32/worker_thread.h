// One worker thread of the window and the flag that asks it to stop. The window
// thread calls every method; the worker reads only the flag, through the
// reference cancelFlag() gave it when it started.
#pragma once

#include <windows.h>

#include <atomic>

#include "window/win32/owners.h"

namespace tessalin {

class WorkerThread {
  public:
    using Body = unsigned(__stdcall*)(void* argument);
    // Starts a thread; null means the runtime's _beginthreadex. Tests put in one
    // that fails, as a system out of threads would.
    using Starter = HANDLE (*)(Body body, void* argument);

    // Clears the flag and runs body(argument) on a new thread. False when no
    // thread could be had; `argument` is then still the caller's.
    bool start(Body body, void* argument, Starter starter);
    // A thread was started and has not been joined yet.
    bool started() const { return static_cast<bool>(thread); }
    // The thread has returned (or none runs); never waits.
    bool returned() const;
    // For a wait that keeps the window answering; null when none was started.
    HANDLE handle() const { return thread.get(); }
    // Waits for the thread to return and lets it go.
    void join();

    void cancel() { cancelRequested.exchange(true); }
    // Also for a worker run on the window's thread when no thread could be had.
    void clearCancel() { cancelRequested.exchange(false); }
    bool cancelling() const { return cancelRequested.load(); }
    const std::atomic<bool>& cancelFlag() const { return cancelRequested; }

  private:
    OwnedHandle thread;
    std::atomic<bool> cancelRequested{false};
};

}  // namespace tessalin
