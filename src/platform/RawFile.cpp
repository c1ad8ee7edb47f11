#include "platform/RawFile.h"

#include "platform/Folder.h"

#include <atomic>

namespace quorix {

namespace {
std::atomic<FileFaults*> installedFaults{nullptr};
} // namespace

void FileFaults::Install(FileFaults* plan) {
    installedFaults.store(plan);
}

std::error_code FileFaults::Check(Operation operation, const std::string& systemPath) {
    FileFaults* plan = installedFaults.load(std::memory_order_relaxed);
    return plan != nullptr ? plan->Next(operation, systemPath) : std::error_code();
}

std::error_code FileFaults::Check(Operation operation, const Folder& folder, const std::string& name) {
    FileFaults* plan = installedFaults.load(std::memory_order_relaxed);
    return plan != nullptr ? plan->Next(operation, folder.PathOf(name)) : std::error_code();
}

RawFile::~RawFile() {
    Close();
}

bool RawFile::Close() {
    if (!IsOpen()) {
        return true;
    }
    std::error_code error = Release();
    if (writing) {
        if (const std::error_code injected = FileFaults::Check(FileFaults::Operation::Close, openPath)) {
            error = injected;
        }
    }
    if (error) {
        lastError = error;
    }
    return !error;
}

} // namespace quorix
