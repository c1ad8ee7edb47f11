#include "files/QuorBinaryFile.h"

#include "files/QuorUnhandledFormatFeatureException.h"

#include <cstring>
#include <utility>

namespace {
constexpr char kCr = '\r';
constexpr char kLf = '\n';

// Removes, from position `from` on, each CR directly followed by an LF; returns the number removed and
// shortens `length` accordingly.
size_t FoldCrLf(char* buffer, size_t from, size_t& length) {
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

void QuorBinaryFile::ReadBytes(char* buffer, int count) {
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

void QuorBinaryFile::ReadByte(char& value) {
    ReadBytes(&value, 1);
}

void QuorBinaryFile::ReadInt8(int& value) {
    char byte = 0;
    ReadBytes(&byte, 1);
    value = static_cast<signed char>(byte);
}

void QuorBinaryFile::ReadBool(bool& value) {
    char byte = 0;
    ReadBytes(&byte, 1);
    value = byte != 0;
}

void QuorBinaryFile::ReadInt16(short& value) {
    unsigned char bytes[2] = {0, 0};
    ReadBytes(reinterpret_cast<char*>(bytes), 2);
    value = static_cast<short>(static_cast<uint16_t>((bytes[0] << 8) | bytes[1]));
}

void QuorBinaryFile::ReadInt16(int& value) {
    short narrow = 0;
    ReadInt16(narrow);
    value = narrow;
}

void QuorBinaryFile::ReadInt32(char* fourBytes) {
    ReadBytes(fourBytes, 4);
    std::swap(fourBytes[0], fourBytes[3]);
    std::swap(fourBytes[1], fourBytes[2]);
}

int32_t QuorBinaryFile::ReadI32() {
    char bytes[4] = {0, 0, 0, 0};
    ReadInt32(bytes);
    int32_t value = 0;
    std::memcpy(&value, bytes, 4);
    return value;
}

uint32_t QuorBinaryFile::ReadWord() {
    return static_cast<uint32_t>(ReadI32());
}

float QuorBinaryFile::ReadF32() {
    char bytes[4] = {0, 0, 0, 0};
    ReadInt32(bytes);
    float value = 0;
    std::memcpy(&value, bytes, 4);
    return value;
}

int QuorBinaryFile::ReadString(std::string& value) {
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
