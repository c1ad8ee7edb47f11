#include "support/AllocationHooks.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<size_t> liveBytes{0};
std::atomic<size_t> peakBytes{0};
std::atomic<long> counted{0};
std::atomic<long> failAt{0};
std::atomic<bool> failed{false};

// Null when the allocation is to fail, or when the system has no memory left.
void* Allocate(size_t size) {
    const long n = ++counted;
    if (n == failAt.load(std::memory_order_relaxed)) {
        failed = true;
        return nullptr;
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p != nullptr) {
        const size_t now = liveBytes += malloc_usable_size(p);
        size_t peak = peakBytes.load();
        while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
        }
    }
    return p;
}

void* AllocateOrThrow(size_t size) {
    void* p = Allocate(size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}

void Release(void* p) {
    if (p != nullptr) {
        liveBytes -= malloc_usable_size(p);
        std::free(p);
    }
}
} // namespace

namespace allocation {
size_t LiveBytes() {
    return liveBytes.load();
}
size_t PeakBytes() {
    return peakBytes.load();
}
void ResetPeak() {
    peakBytes = liveBytes.load();
}
void FailNth(long n) {
    failed = false;
    counted = 0;
    failAt = n;
}
long Counted() {
    return counted.load();
}
bool Failed() {
    return failed.load();
}
} // namespace allocation

void* operator new(size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, size_t) noexcept {
    Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
