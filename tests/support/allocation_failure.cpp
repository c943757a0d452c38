#include "support/allocation_failure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> allocationsBeforeFailure{-1};

void* allocate(std::size_t size) noexcept {
    if (allocationsBeforeFailure.load() == 0)
        return nullptr;
    if (allocationsBeforeFailure.load() > 0)
        --allocationsBeforeFailure;
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

namespace testsupport {

void failAllocationsAfter(long count) {
    allocationsBeforeFailure = count;
}

}  // namespace testsupport

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

// Every plain and nothrow form goes through the same counter and the same heap,
// so the sanitizers see matching pairs.
void* operator new(std::size_t size) {
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
