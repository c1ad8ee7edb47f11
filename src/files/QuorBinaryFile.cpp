#include "files/QuorBinaryFile.h"

#include "files/QuorUnhandledFormatFeatureException.h"

#include <cstring>
#include <utility>

namespace quorix {

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

// The number of CRs directly followed by an LF among the `count` bytes at `data`.
size_t CrLfPairs(const char* data, size_t count) {
    constexpr char kCr = '\r';
    size_t pairs = 0;
    const char* const last = data + count - 1;
    for (const char* cr = data; cr < last; ++cr) {
        cr = static_cast<const char*>(std::memchr(cr, kCr, static_cast<size_t>(last - cr)));
        if (cr == nullptr) {
            break;
        }
        pairs += cr[1] == kLf ? 1 : 0;
    }
    return pairs;
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
    return data[count - 1] == kCr || CrLfPairs(data, count) > 0;
}

void QuorBinaryFile::ReadInt32(char* fourBytes) {
    ReadBytes(fourBytes, 4);
    std::swap(fourBytes[0], fourBytes[3]);
    std::swap(fourBytes[1], fourBytes[2]);
}

void QuorBinaryFile::ReadStringByBytes(std::string& value, size_t longest) {
    value.clear();
    for (;;) {
        char byte = 0;
        ReadByte(byte);
        if (byte == '\0') {
            return;
        }
        if (value.size() == longest) {
            SkipString();
            return;
        }
        value += byte;
    }
}

int64_t QuorBinaryFile::SkipString() {
    int64_t consumed = 0;
    for (;;) {
        if (hasCarriedByte) {
            // The byte read ahead after a CR comes first; a CR folds with an LF after it into one byte.
            hasCarriedByte = false;
            ++consumed;
            if (carriedByte == '\0') {
                return consumed;
            }
            const char* data = nullptr;
            if (carriedByte == kCr && stream.Window(data) > 0 && data[0] == kLf) {
                stream.Advance(1);
            }
            continue;
        }
        // Buffered bytes up to the NUL, or all of them but a CR at the end, are taken as they stand: with
        // no byte carried, folding only makes each CR LF pair among them one byte.
        const char* data = nullptr;
        const size_t available = stream.Window(data);
        if (available > 0) {
            const void* nul = std::memchr(data, '\0', available);
            size_t take =
                nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - data) + 1 : available;
            if (nul == nullptr && data[take - 1] == kCr) {
                --take;
            }
            if (take > 0) {
                consumed += static_cast<int64_t>(take - CrLfPairs(data, take));
                stream.Advance(take);
                if (nul != nullptr) {
                    return consumed;
                }
                continue;
            }
        }
        // A CR whose next byte is not yet buffered, or the end of the file.
        char byte = 0;
        ReadByte(byte);
        ++consumed;
        if (byte == '\0') {
            return consumed;
        }
    }
}

void QuorBinaryFile::Skip(int count) {
    // Never backwards: a negative count would make the record walk revisit the same bytes.
    if (count > 0) {
        stream.SeekRelative(count);
    }
}

} // namespace quorix
