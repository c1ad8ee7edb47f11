#include "runtime/TextModeWriter.h"

#include <algorithm>
#include <cstring>

namespace quorix::runtime {
namespace {
// What is collected before it is passed to the file, in one write.
constexpr size_t kBufferSize = size_t{1} << 16;
} // namespace

bool TextModeWriter::Create(const Folder& folder, const std::string& name) {
    used = 0;
    collecting = false;
    return file.Create(folder, name);
}

void TextModeWriter::CollectInMemory(size_t expected) {
    file.Discard();
    used = 0;
    collecting = true;
    if (capacity < expected) {
        Grow(expected);
    }
}

void TextModeWriter::Grow(size_t size) {
    // Without zeroing the new room, which is written before it is read.
    std::unique_ptr<char[]> grown(new char[size]);
    std::copy(buffer.get(), buffer.get() + used, grown.get());
    buffer = std::move(grown);
    capacity = size;
}

char* TextModeWriter::Reserve(size_t room) {
    if (capacity - used < room) {
        if (collecting) {
            // Everything is kept: the buffer grows geometrically, so appending costs linear time.
            Grow(std::max({2 * capacity, used + room, kBufferSize}));
        } else {
            Flush();
            if (capacity < room) {
                // At least kBufferSize, and as large as the longest line built in place.
                Grow(std::max(room, kBufferSize));
            }
        }
    }
    return buffer.get() + used;
}

void TextModeWriter::Commit(char* end) {
    used = static_cast<size_t>(end - buffer.get());
    if (used >= kBufferSize && !collecting) {
        Flush();
    }
}

void TextModeWriter::WriteStored(std::string_view stored) {
    if (collecting) {
        char* at = Reserve(stored.size());
        std::copy(stored.begin(), stored.end(), at);
        Commit(at + stored.size());
        return;
    }
    Flush();
    file.Write(stored.data(), stored.size());
}

char* TextModeWriter::StoreText(char* out, const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '\n') {
            *out++ = '\r';
        }
        *out++ = c;
    }
    return out;
}

void TextModeWriter::Write(const char* text, size_t length) {
    // In pieces of at most half the buffer, each of which fits in its stored form.
    constexpr size_t kPiece = kBufferSize / 2;
    while (length > 0) {
        const size_t piece = length < kPiece ? length : kPiece;
        Commit(StoreText(Reserve(2 * piece), text, piece));
        text += piece;
        length -= piece;
    }
}

void TextModeWriter::Put(char c) {
    Write(&c, 1);
}

void TextModeWriter::Flush() {
    if (collecting) {
        return;
    }
    if (used != 0) {
        // A failed write (a full disk) stays with the file: Finish and Replace report it.
        file.Write(buffer.get(), used);
    }
    used = 0;
}

bool TextModeWriter::Finish() {
    Flush();
    return file.Finish();
}

bool TextModeWriter::Replace() {
    Flush();
    return file.Commit();
}

} // namespace quorix::runtime
