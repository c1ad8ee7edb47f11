#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>

// Work done on a thread of its own while the caller goes on, then waited for. Where no thread can be
// started, the work is done at once by the caller, so the result never depends on whether one was.
class BackgroundTask {
public:
    BackgroundTask();
    ~BackgroundTask(); // waits for the work
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // Starts `work`, after waiting for the work started before.
    void Start(std::function<void()> work);
    // Waits until the work is done; an exception that it threw is thrown again here.
    void Wait();

    // How many threads the machine runs at once (at least 1).
    static unsigned Processors();
    // Into how many parts work on `items` items is cut: one per processor, up to kMostParts, each part
    // at least `leastPerPart` items; 1 for short work.
    static size_t PartsFor(size_t items, size_t leastPerPart);
    static constexpr size_t kMostParts = 4;
    // Runs work(0) to work(parts - 1) at the same time, work(0) in the calling thread, and returns when
    // all are done; an exception of one of them is thrown again then.
    static void ForEachPart(size_t parts, const std::function<void(size_t)>& work);

private:
    struct Thread;
    friend struct BackgroundTaskEntry;

    void Run();
    bool StartThread(); // false when no thread could be started
    void JoinThread();

    std::function<void()> work;
    std::exception_ptr failure;
    std::unique_ptr<Thread> thread;
};
