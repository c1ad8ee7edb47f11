#include "platform/Parallel.h"

#include <atomic>
#include <exception>
#include <memory>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <mutex>
#include <system_error>
#include <thread>
#endif

namespace quorix::parallel {
namespace {
std::atomic<size_t> forcedParts{0};

// One part on a thread of its own; where none can be started, the part runs at once in the caller.
class PartThread {
public:
    PartThread(const std::function<void(size_t)>& work, size_t part) : work(work), part(part) {}
    ~PartThread() { Join(); }
    PartThread(const PartThread&) = delete;
    PartThread& operator=(const PartThread&) = delete;

    void Start() {
        if (!StartThread()) {
            Run();
        }
    }
    // Waits for the part; its exception, if it threw.
    std::exception_ptr Join() {
        JoinThread();
        return failure;
    }
    void Run() {
        try {
            work(part);
        } catch (...) {
            failure = std::current_exception();
        }
    }

private:
    bool StartThread();
    void JoinThread();

    const std::function<void(size_t)>& work;
    size_t part;
    std::exception_ptr failure;
#ifdef _WIN32
    // The Windows runtime the module is built with has no standard threads: the system's own are used.
    HANDLE handle = nullptr;
#else
    std::thread thread;
#endif
};

#ifdef _WIN32
DWORD WINAPI PartMain(LPVOID part) {
    static_cast<PartThread*>(part)->Run();
    return 0;
}

bool PartThread::StartThread() {
    handle = CreateThread(nullptr, 0, PartMain, this, 0, nullptr);
    return handle != nullptr;
}

void PartThread::JoinThread() {
    if (handle != nullptr) {
        WaitForSingleObject(handle, INFINITE);
        CloseHandle(handle);
        handle = nullptr;
    }
}

unsigned Processors() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<unsigned>(info.dwNumberOfProcessors) : 1u;
}
#else
bool PartThread::StartThread() {
    try {
        thread = std::thread([this] { Run(); });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void PartThread::JoinThread() {
    if (thread.joinable()) {
        thread.join();
    }
}

unsigned Processors() {
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? count : 1u;
}
#endif
} // namespace

size_t PartsFor(size_t items, size_t leastPerPart) {
    if (const size_t forced = forcedParts.load()) {
        return items < forced ? (items > 0 ? items : 1) : forced;
    }
    const size_t processors = Processors();
    size_t parts = processors < kMostParts ? processors : kMostParts;
    if (leastPerPart > 0 && items / leastPerPart < parts) {
        parts = items / leastPerPart;
    }
    return parts > 0 ? parts : 1;
}

void ForEachPart(size_t parts, const std::function<void(size_t)>& work) {
    std::vector<std::unique_ptr<PartThread>> others;
    for (size_t part = 1; part < parts; ++part) {
        others.push_back(std::make_unique<PartThread>(work, part));
        others.back()->Start();
    }
    std::exception_ptr failure;
    try {
        work(0);
    } catch (...) {
        failure = std::current_exception();
    }
    for (const auto& other : others) {
        const std::exception_ptr thrown = other->Join();
        if (!failure) {
            failure = thrown;
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

#ifdef _WIN32
struct Mutex::System {
    CRITICAL_SECTION section;
    System() { InitializeCriticalSection(&section); }
    ~System() { DeleteCriticalSection(&section); }
};

void Mutex::Lock() {
    EnterCriticalSection(&system->section);
}

void Mutex::Unlock() {
    LeaveCriticalSection(&system->section);
}
#else
struct Mutex::System {
    std::mutex mutex;
};

void Mutex::Lock() {
    system->mutex.lock();
}

void Mutex::Unlock() {
    system->mutex.unlock();
}
#endif

Mutex::Mutex() : system(std::make_unique<System>()) {}

Mutex::~Mutex() = default;

ForcedParts::ForcedParts(size_t parts) : previous(forcedParts.exchange(parts)) {}

ForcedParts::~ForcedParts() {
    forcedParts.store(previous);
}
} // namespace quorix::parallel
