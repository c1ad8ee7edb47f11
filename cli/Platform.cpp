#include "Platform.h"

#include <algorithm>

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

} // namespace quorix::cli::platform
