#include "platform/BackgroundTask.h"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <system_error>
#include <thread>
#endif

#ifdef _WIN32
// The Windows runtime the module is built with has no standard threads: the system's own are used.
struct BackgroundTask::Thread {
    HANDLE handle = nullptr;
};
#else
struct BackgroundTask::Thread {
    std::thread thread;
};
#endif

BackgroundTask::BackgroundTask() = default;

BackgroundTask::~BackgroundTask() {
    try {
        Wait();
    } catch (...) {
        // A failure nobody waited for is dropped with the task.
    }
}

void BackgroundTask::Start(std::function<void()> newWork) {
    Wait();
    work = std::move(newWork);
    if (!StartThread()) {
        Run();
    }
}

void BackgroundTask::Wait() {
    if (thread) {
        JoinThread();
        thread.reset();
    }
    if (failure) {
        std::exception_ptr thrown = failure;
        failure = nullptr;
        std::rethrow_exception(thrown);
    }
}

size_t BackgroundTask::PartsFor(size_t items, size_t leastPerPart) {
    const size_t processors = Processors();
    size_t parts = processors < kMostParts ? processors : kMostParts;
    if (leastPerPart > 0 && items / leastPerPart < parts) {
        parts = items / leastPerPart;
    }
    return parts > 0 ? parts : 1;
}

void BackgroundTask::ForEachPart(size_t parts, const std::function<void(size_t)>& work) {
    std::vector<BackgroundTask> others(parts > 1 ? parts - 1 : 0); // each waits for its work when destroyed
    for (size_t part = 1; part < parts; ++part) {
        others[part - 1].Start([&work, part] { work(part); });
    }
    work(0);
    for (BackgroundTask& task : others) {
        task.Wait();
    }
}

void BackgroundTask::Run() {
    try {
        work();
    } catch (...) {
        failure = std::current_exception();
    }
}

#ifdef _WIN32
struct BackgroundTaskEntry {
    static DWORD WINAPI Main(LPVOID task) {
        static_cast<BackgroundTask*>(task)->Run();
        return 0;
    }
};

bool BackgroundTask::StartThread() {
    const HANDLE handle = CreateThread(nullptr, 0, BackgroundTaskEntry::Main, this, 0, nullptr);
    if (handle == nullptr) {
        return false;
    }
    thread = std::make_unique<Thread>();
    thread->handle = handle;
    return true;
}

void BackgroundTask::JoinThread() {
    WaitForSingleObject(thread->handle, INFINITE);
    CloseHandle(thread->handle);
}

unsigned BackgroundTask::Processors() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<unsigned>(info.dwNumberOfProcessors) : 1u;
}
#else
bool BackgroundTask::StartThread() {
    try {
        auto started = std::make_unique<Thread>();
        started->thread = std::thread([this] { Run(); });
        thread = std::move(started);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void BackgroundTask::JoinThread() {
    thread->thread.join();
}

unsigned BackgroundTask::Processors() {
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? count : 1u;
}
#endif
