// Owners for what the window gets from the system and must give back: each
// gives its resource back once, on every path out, and can be moved but not
// copied.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <utility>

namespace tessalin {

// Owns one value of `T` that `giveBack` releases; a null value owns nothing.
template <typename T, auto giveBack>
class Owned {
  public:
    Owned() = default;
    explicit Owned(T value) : value(value) {}
    ~Owned() { reset(); }
    Owned(Owned&& other) noexcept : value(std::exchange(other.value, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset();
            value = std::exchange(other.value, nullptr);
        }
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    T get() const { return value; }
    explicit operator bool() const { return value != nullptr; }
    // Gives back what is owned now and takes `next`.
    void reset(T next = nullptr) {
        if (value != nullptr)
            giveBack(value);
        value = next;
    }

  private:
    T value = nullptr;
};

// A handle closed by CloseHandle (a thread, an event). Creation functions that
// fail with INVALID_HANDLE_VALUE must not be owned here.
using OwnedHandle = Owned<HANDLE, &CloseHandle>;
using OwnedFont = Owned<HFONT, &DeleteObject>;
// A drop's file list, finished by DragFinish.
using OwnedDrop = Owned<HDROP, &DragFinish>;

// OLE for this thread, from construction to destruction. Each successful
// OleInitialize (S_FALSE too) is balanced by one OleUninitialize.
class OleInitialization {
  public:
    OleInitialization() : initialized(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleInitialization() {
        if (initialized)
            OleUninitialize();
    }
    OleInitialization(const OleInitialization&) = delete;
    OleInitialization& operator=(const OleInitialization&) = delete;

  private:
    bool initialized;
};

}  // namespace tessalin
