#include "platform/Parallel.h"

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
