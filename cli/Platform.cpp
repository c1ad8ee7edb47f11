#include "Platform.h"

#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace quorix::cli::platform {

bool Append(std::string& bytes, const char* chunk, size_t count, uint64_t limit) {
    if (count > limit || bytes.size() > limit - count) {
        return false;
    }
    if (bytes.capacity() - bytes.size() < count) {
        const uint64_t doubled = std::max<uint64_t>(2 * static_cast<uint64_t>(bytes.capacity()), 1 << 16);
        bytes.reserve(static_cast<size_t>(std::max<uint64_t>(std::min(doubled, limit), bytes.size() + count)));
    }
    bytes.append(chunk, count);
    return true;
}

std::error_code WriteThrough(const std::string& path, const std::string& bytes, bool& opened) {
    // As cat writes: a pipe's reader is waited for, and a stop signal ends the wait with an error.
    const auto failure = [] { return std::error_code(errno != 0 ? errno : EIO, std::generic_category()); };
    errno = 0;
    std::FILE* const out = std::fopen(path.c_str(), "wb");
    opened = out != nullptr;
    if (out == nullptr) {
        return failure();
    }
    std::error_code error;
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
        error = failure();
    }
    if (std::fclose(out) != 0 && !error) {
        error = failure();
    }
    return error;
}

} // namespace quorix::cli::platform
