#include "files/FileStream.h"

#include "platform/PathMapping.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quorix::detail {

namespace {
// The largest read from the file, and the least: a file that says it is smaller is read in chunks of its
// own size, so that a short file costs no buffer many times its size; one that grows while it is read (or
// says it is empty, as some system files do) is still read whole, in chunks of at least 512 bytes.
constexpr size_t kBufferSize = 1 << 16;
constexpr size_t kLeastBufferSize = 1 << 9;
} // namespace

FileStream::FileStream() = default;

bool FileStream::Open(const std::string& modulePath, Mode openMode) {
    Close();
    if (!file.OpenForReading(paths::ToSystemPath(modulePath))) {
        return false;
    }
    mode = openMode;
    PrepareBuffers();
    return true;
}

void FileStream::OpenMemory(std::string_view bytes, Mode openMode) {
    Close();
    memory = bytes;
    fromMemory = true;
    mode = openMode;
    PrepareBuffers();
}

void FileStream::PrepareBuffers() {
    const int64_t size = SizeHint();
    const size_t chunk = size >= 0 && static_cast<uint64_t>(size) < kBufferSize
                             ? std::max(static_cast<size_t>(size), kLeastBufferSize)
                             : kBufferSize;
    if (mode == Mode::Text) {
        // A chunk of raw bytes translates to at most one byte more: a CR held from the chunk before.
        rawBuffer.resize(chunk);
        buffer.resize(chunk + 1);
    } else {
        buffer.resize(chunk);
    }
}

int64_t FileStream::SizeHint() const {
    return fromMemory ? static_cast<int64_t>(memory.size()) : file.Size();
}

size_t FileStream::ReadSource(char* to, size_t count) {
    if (!fromMemory) {
        return file.Read(to, count);
    }
    const size_t take = memoryAt < memory.size() ? std::min(count, memory.size() - memoryAt) : 0;
    if (take > 0) { // an empty block may have no address at all
        std::memcpy(to, memory.data() + memoryAt, take);
        memoryAt += take;
    }
    return take;
}

bool FileStream::SeekSource(int64_t offset) {
    if (!fromMemory) {
        return file.SeekTo(offset);
    }
    if (offset < 0) {
        return false;
    }
    // Past the end is allowed, as in a file: the next read finds nothing.
    memoryAt = static_cast<uint64_t>(offset) < memory.size() ? static_cast<size_t>(offset) : memory.size();
    return true;
}

void FileStream::Close() {
    file.Close();
    memory = {};
    memoryAt = 0;
    fromMemory = false;
    pos = length = 0;
    bufferStart = 0;
    seekPending = false;
    sourceEnded = false;
    textMode.Reset();
}

bool FileStream::Fill() {
    if (mode == Mode::Binary) {
        bufferStart += static_cast<int64_t>(length);
        pos = length = 0;
        if (seekPending) {
            seekPending = false;
            if (!SeekSource(bufferStart)) {
                sourceEnded = true;
                return false;
            }
            sourceEnded = false;
        }
        if (sourceEnded) {
            return false;
        }
        length = ReadSource(buffer.data(), buffer.size());
        if (length == 0) {
            sourceEnded = true;
        }
        return length > 0;
    }
    pos = length = 0;
    while (length == 0 && !sourceEnded) {
        const size_t got = ReadSource(rawBuffer.data(), rawBuffer.size());
        length = textMode.Translate(rawBuffer.data(), got, buffer.data());
        sourceEnded = textMode.Ended();
    }
    return length > 0;
}

size_t FileStream::Read(char* destination, size_t count) {
    if (!Good()) {
        failBit = true;
        return 0;
    }
    size_t done = 0;
    while (done < count) {
        if (pos == length && !Fill()) {
            eofBit = failBit = true;
            break;
        }
        const size_t take = std::min(count - done, length - pos);
        std::memcpy(destination + done, buffer.data() + pos, take);
        pos += take;
        done += take;
    }
    return done;
}

int64_t FileStream::Tell() const {
    if (failBit) {
        return -1;
    }
    return bufferStart + static_cast<int64_t>(pos);
}

void FileStream::SeekRelative(int64_t offset) {
    if (failBit || offset == 0) {
        return;
    }
    const int64_t target = bufferStart + static_cast<int64_t>(pos) + offset;
    if (target < 0) {
        failBit = true;
        return;
    }
    if (!seekPending && target >= bufferStart && target <= bufferStart + static_cast<int64_t>(length)) {
        pos = static_cast<size_t>(target - bufferStart);
        return;
    }
    bufferStart = target;
    pos = length = 0;
    seekPending = true;
}

void FileStream::Extract(std::string* field, size_t maxStored, char delim) {
    if (field != nullptr) {
        field->clear();
    }
    if (!Good()) {
        failBit = true;
        return;
    }
    size_t extracted = 0;
    size_t stored = 0;
    const auto keep = [&](const char* start, size_t count) {
        if (field != nullptr) {
            field->append(start, count);
        }
        stored += count;
    };
    for (;;) {
        if (pos == length && !Fill()) {
            eofBit = true;
            break;
        }
        const char* start = buffer.data() + pos;
        const size_t available = length - pos;
        const size_t room = maxStored - stored;
        // Look at one character more than fits, to tell a delimiter after a full field from an overlong one.
        const size_t window = std::min(available, room + 1);
        const void* found = std::memchr(start, delim, window);
        if (found != nullptr) {
            const size_t taken = static_cast<size_t>(static_cast<const char*>(found) - start);
            keep(start, taken);
            pos += taken + 1;
            extracted += taken + 1;
            break;
        }
        if (available > room) {
            // The field is full and the next character is not the delimiter: it stays unread.
            keep(start, room);
            pos += room;
            extracted += room;
            failBit = true;
            break;
        }
        keep(start, available);
        pos += available;
        extracted += available;
    }
    if (extracted == 0) {
        failBit = true;
    }
}

} // namespace quorix::detail
