#include "runtime/ByteSink.h"

#include <algorithm>

namespace quorix::runtime {

void ByteSink::Grow(size_t size) {
    // Without zeroing the new room, which is written before it is read.
    std::unique_ptr<char[]> grown(new char[size]);
    std::copy(buffer.get(), buffer.get() + used, grown.get());
    buffer = std::move(grown);
    capacity = size;
}

void ByteSink::Append(std::string_view bytes) {
    char* at = Reserve(bytes.size());
    std::copy(bytes.begin(), bytes.end(), at);
    Commit(at + bytes.size());
}

MemorySink::MemorySink(size_t expected) {
    Grow(expected);
}

void MemorySink::MakeRoom(size_t room) {
    // Everything is kept: the buffer grows geometrically, so appending costs linear time.
    Grow(std::max({2 * capacity, used + room, size_t{1} << 16}));
}

} // namespace quorix::runtime
