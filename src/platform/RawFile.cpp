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

size_t RawFile::Read(char* buffer, size_t count) {
    size_t total = 0;
    while (IsOpen() && total < count) {
        const long got = ReadSome(buffer + total, count - total);
        if (got <= 0) {
            break;
        }
        total += static_cast<size_t>(got);
    }
    return total;
}

bool RawFile::Write(const char* buffer, size_t count) {
    if (!IsOpen()) {
        return false;
    }
    if (const std::error_code injected = FileFaults::Check(FileFaults::Operation::Write, openPath)) {
        WriteSome(buffer, count / 2); // as a full disk does: part of the bytes land (or not), then it fails
        lastError = injected;
        return false;
    }
    for (size_t total = 0; total < count;) {
        const long put = WriteSome(buffer + total, count - total);
        if (put <= 0) {
            lastError = put < 0 ? LastSystemError() : SystemError(std::errc::io_error);
            return false;
        }
        total += static_cast<size_t>(put);
    }
    return true;
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
