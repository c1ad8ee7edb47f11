#pragma once

#include <cstddef>
#include <functional>
#include <memory>

// Work cut into parts that run at the same time, one per processor, and joined before the caller goes on
// (fork and join). Where no thread can be started, a part runs in the caller instead, so the result never
// depends on how many threads there were.
namespace quorix::parallel {
// The most parts a piece of work is cut into (unless ForcedParts asks for more).
constexpr size_t kMostParts = 4;

// Into how many parts work on `items` items is cut: one per processor, at most kMostParts, each part at
// least `leastPerPart` items (0: any number); 1 for short work and on one processor.
size_t PartsFor(size_t items, size_t leastPerPart);

// Runs work(0) to work(parts - 1) at the same time, work(0) in the calling thread, and returns when all
// are done. When parts threw, the exception of the lowest such part is thrown again then.
void ForEachPart(size_t parts, const std::function<void(size_t)>& work);

// Mutual exclusion for data that parts share: a critical section on Windows, whose runtime has no standard
// threads, and std::mutex elsewhere. Not recursive.
class Mutex {
public:
    // Holds the mutex for its own life.
    class Held {
    public:
        explicit Held(Mutex& mutex) : mutex(mutex) { mutex.Lock(); }
        ~Held() { mutex.Unlock(); }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

    private:
        Mutex& mutex;
    };

    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void Lock();
    void Unlock();

private:
    struct System;
    std::unique_ptr<System> system;
};

// While it lives, PartsFor cuts all work of `items` items into min(parts, items) parts (at least 1),
// whatever the machine and the least part: the parallel paths run on small inputs and on a machine with
// one processor, for tests. Not for use while work runs.
class ForcedParts {
public:
    explicit ForcedParts(size_t parts);
    ~ForcedParts();
    ForcedParts(const ForcedParts&) = delete;
    ForcedParts& operator=(const ForcedParts&) = delete;

private:
    size_t previous;
};

// What the system gives the parts (posix/Parallel.cpp and windows/Parallel.cpp; the Windows runtime the
// module is built with has no standard threads, so the system's own are used there).
namespace system {
// The number of processors, at least 1.
unsigned Processors();
// Runs RunPart(part) on a thread of its own: the thread for JoinThread, or null when none can be started.
void* StartThread(void* part);
void JoinThread(void* thread);
// What a started thread runs (Parallel.cpp).
void RunPart(void* part);
} // namespace system
} // namespace quorix::parallel
