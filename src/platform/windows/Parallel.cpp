#include "platform/Parallel.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace quorix::parallel {

namespace {
DWORD WINAPI PartMain(LPVOID part) {
    system::RunPart(part);
    return 0;
}
} // namespace

unsigned system::Processors() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<unsigned>(info.dwNumberOfProcessors) : 1u;
}

void* system::StartThread(void* part) {
    return CreateThread(nullptr, 0, PartMain, part, 0, nullptr);
}

void system::JoinThread(void* thread) {
    WaitForSingleObject(static_cast<HANDLE>(thread), INFINITE);
    CloseHandle(static_cast<HANDLE>(thread));
}

void* system::NewSemaphore() {
    return CreateSemaphoreW(nullptr, 0, 0x7FFFFFFF, nullptr);
}

void system::PostSemaphore(void* semaphore) {
    ReleaseSemaphore(static_cast<HANDLE>(semaphore), 1, nullptr);
}

void system::WaitSemaphore(void* semaphore) {
    WaitForSingleObject(static_cast<HANDLE>(semaphore), INFINITE);
}

void system::DeleteSemaphore(void* semaphore) {
    CloseHandle(static_cast<HANDLE>(semaphore));
}

struct Mutex::System {
    CRITICAL_SECTION section;
    System() { InitializeCriticalSection(&section); }
    ~System() { DeleteCriticalSection(&section); }
};

Mutex::Mutex() : system(std::make_unique<System>()) {}

Mutex::~Mutex() = default;

void Mutex::Lock() {
    EnterCriticalSection(&system->section);
}

void Mutex::Unlock() {
    LeaveCriticalSection(&system->section);
}

} // namespace quorix::parallel
