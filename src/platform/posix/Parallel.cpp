#include "platform/Parallel.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace quorix::parallel {

unsigned system::Processors() {
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? count : 1u;
}

void* system::StartThread(void* part) {
    try {
        return new std::thread(RunPart, part);
    } catch (const std::system_error&) {
        return nullptr;
    }
}

void system::JoinThread(void* thread) {
    const std::unique_ptr<std::thread> started(static_cast<std::thread*>(thread));
    started->join();
}

namespace {
struct Semaphore {
    std::mutex mutex;
    std::condition_variable posted;
    size_t count = 0;
};
} // namespace

void* system::NewSemaphore() {
    return new Semaphore;
}

void system::PostSemaphore(void* semaphore) {
    auto* s = static_cast<Semaphore*>(semaphore);
    {
        const std::lock_guard<std::mutex> held(s->mutex);
        ++s->count;
    }
    s->posted.notify_one();
}

void system::WaitSemaphore(void* semaphore) {
    auto* s = static_cast<Semaphore*>(semaphore);
    std::unique_lock<std::mutex> held(s->mutex);
    s->posted.wait(held, [s] { return s->count > 0; });
    --s->count;
}

void system::DeleteSemaphore(void* semaphore) {
    delete static_cast<Semaphore*>(semaphore);
}

struct Mutex::System {
    std::mutex mutex;
};

Mutex::Mutex() : system(std::make_unique<System>()) {}

Mutex::~Mutex() = default;

void Mutex::Lock() {
    system->mutex.lock();
}

void Mutex::Unlock() {
    system->mutex.unlock();
}

} // namespace quorix::parallel
