#include "files/QuorBinaryFile.h"

#include "files/QuorUnhandledFormatFeatureException.h"

#include <cstring>
#include <utility>

namespace {
constexpr char kLf = '\n';

// Removes, from position `from` on, each CR directly followed by an LF; returns the number removed and
// shortens `length` accordingly.
size_t FoldCrLf(char* buffer, size_t from, size_t& length) {
    constexpr char kCr = '\r';
    size_t write = from;
    for (size_t read = from; read < length; ++read) {
        if (buffer[read] == kCr && read + 1 < length && buffer[read + 1] == kLf) {
            continue;
        }
        buffer[write++] = buffer[read];
    }
    const size_t removed = length - write;
    length = write;
    return removed;
}
} // namespace

void QuorBinaryFile::ReadBytesFolding(char* buffer, int count) {
    if (count < 1) {
        return;
    }
    const size_t wanted = static_cast<size_t>(count);
    size_t length = 0;
    if (hasCarriedByte) {
        buffer[0] = carriedByte;
        hasCarriedByte = false;
        length = 1 + stream.Read(buffer + 1, wanted - 1);
    } else {
        length = stream.Read(buffer, wanted);
    }
    // Each removed CR leaves room for one more byte of the file; read those and fold again, including a
    // CR kept at the end of the previous part and an LF at the start of the new one.
    size_t removed = FoldCrLf(buffer, 0, length);
    while (removed > 0) {
        const size_t partStart = length;
        length += stream.Read(buffer + partStart, removed);
        removed = FoldCrLf(buffer, partStart > 0 ? partStart - 1 : 0, length);
    }
    // A CR at the very end may be the first half of a pair: look at the next byte of the file.
    if (length == wanted && buffer[wanted - 1] == kCr) {
        char next = 0;
        if (stream.Read(&next, 1) == 1) {
            if (next == kLf) {
                buffer[wanted - 1] = kLf;
            } else {
                carriedByte = next;
                hasCarriedByte = true;
            }
        }
    }
    if (stream.Eof()) {
        throw QuorUnhandledFormatFeatureException(kEndOfFileText);
    }
}

bool QuorBinaryFile::CrNeedsFolding(const char* data, size_t count) {
    if (data[count - 1] == kCr) {
        return true;
    }
    const char* const last = data + count - 1;
    for (const char* cr = data; cr < last; ++cr) {
        cr = static_cast<const char*>(std::memchr(cr, kCr, static_cast<size_t>(last - cr)));
        if (cr == nullptr) {
            return false;
        }
        if (cr[1] == kLf) {
            return true;
        }
    }
    return false;
}

void QuorBinaryFile::ReadInt32(char* fourBytes) {
    ReadBytes(fourBytes, 4);
    std::swap(fourBytes[0], fourBytes[3]);
    std::swap(fourBytes[1], fourBytes[2]);
}

int QuorBinaryFile::ReadStringByBytes(std::string& value) {
    value.clear();
    int consumed = 0;
    for (;;) {
        char byte = 0;
        ReadByte(byte);
        ++consumed;
        if (byte == '\0') {
            return consumed;
        }
        value += byte;
    }
}

void QuorBinaryFile::Skip(int count) {
    // Never backwards: a negative count would make the record walk revisit the same bytes.
    if (count > 0) {
        stream.SeekRelative(count);
    }
}
