#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace quorix::runtime {

// Where the bytes of an output go, in the form in which they are stored. Bytes are put together in place in
// the sink's buffer (Reserve, then Commit), so that a line is built without a copy; what happens when the
// buffer is full is the sink's own: a file passes what it holds on, memory keeps it and grows.
class ByteSink {
public:
    virtual ~ByteSink() = default;

    // Room for `room` bytes after those put so far: the caller puts bytes there and hands the end of them
    // to Commit.
    char* Reserve(size_t room) {
        if (capacity - used < room) {
            MakeRoom(room);
        }
        return buffer.get() + used;
    }
    void Commit(char* end) { used = static_cast<size_t>(end - buffer.get()); }
    // Appends bytes that are already in their stored form, such as what another sink holds.
    virtual void Append(std::string_view bytes);

protected:
    ByteSink() = default;
    // Makes room for `room` bytes after the `used` ones: by passing on what is held, by growing, or both.
    virtual void MakeRoom(size_t room) = 0;
    // Makes the buffer hold at least `size` bytes, keeping what it holds.
    void Grow(size_t size);

    // What the sink holds: `used` of `capacity` bytes.
    std::unique_ptr<char[]> buffer;
    size_t capacity = 0;
    size_t used = 0;
};

// A sink that keeps everything in memory: a part of a file made while its beginning is written elsewhere.
class MemorySink final : public ByteSink {
public:
    // Room for `expected` bytes is taken at once.
    explicit MemorySink(size_t expected = 0);
    std::string_view Bytes() const { return {buffer.get(), used}; }

private:
    void MakeRoom(size_t room) override;
};

} // namespace quorix::runtime
