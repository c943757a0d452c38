// Owners for what the program gets from the system and must give back: each
// gives its resource back once, on every path out, and can be moved but not
// copied.
#pragma once

#include <windows.h>

#include <utility>

namespace streamscan {

// A null value holds nothing; for plain handles neither does
// INVALID_HANDLE_VALUE, which CreateFileW and FindFirst* give on failure.
template <typename T>
bool holdsResource(T value) {
    return value != nullptr;
}
inline bool holdsResource(HANDLE value) {
    return value != nullptr && value != INVALID_HANDLE_VALUE;
}

// Owns one value of `T` that `giveBack` releases.
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
    explicit operator bool() const { return holdsResource(value); }
    // Hands the value to a new owner.
    T release() { return std::exchange(value, nullptr); }
    // Gives back what is owned now and takes `next`.
    void reset(T next = nullptr) {
        if (holdsResource(value))
            giveBack(value);
        value = next;
    }

  private:
    T value = nullptr;
};

// A handle closed by CloseHandle: a file, a thread, an event.
using OwnedHandle = Owned<HANDLE, &CloseHandle>;
// A FindFirstFileW or FindFirstStreamW enumeration.
using OwnedFind = Owned<HANDLE, &FindClose>;

}  // namespace streamscan
