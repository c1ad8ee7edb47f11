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

// The turn of one chunk of work made at the same time as others but handed on in chunk order (see
// ForEachChunkInOrder).
class Turn {
public:
    // Waits until every chunk before this one has been handed on; returns at once when the turn is held.
    void Take();

private:
    friend void ForEachChunkInOrder(size_t, size_t, const std::function<void(size_t, size_t, Turn&)>&);
    Turn(void* semaphore, bool held) : semaphore(semaphore), held(held) {}

    void* semaphore; // posted when the chunk before has been handed on; null with one part
    bool held;
};

// Chunks 0 to chunks - 1 made by `parts` parts at the same time and handed on in chunk order: each part
// takes the next chunk not yet taken and calls work(part, chunk, turn), which takes the turn (turn.Take())
// before it hands anything on; the turn passes to the next chunk when work returns. At most `parts`
// chunks are under way at once. When work throws, no further chunk is begun (the turns of those under
// way still pass, so that no part waits for ever), and the exception reaches the caller as with
// ForEachPart. With one part, or where the system gives no means to wait, the chunks are made one after
// another in the caller.
void ForEachChunkInOrder(size_t parts, size_t chunks,
                         const std::function<void(size_t part, size_t chunk, Turn& turn)>& work);

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
// A semaphore whose count starts at 0, or null when none can be made; Post adds 1 to its count, Wait waits
// until the count is above 0 and takes 1 from it.
void* NewSemaphore();
void PostSemaphore(void* semaphore);
void WaitSemaphore(void* semaphore);
void DeleteSemaphore(void* semaphore);
} // namespace system
} // namespace quorix::parallel
