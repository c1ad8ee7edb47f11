#include "platform/TextModeWriter.h"

#include "platform/PathMapping.h"

#include <cstdint>
#include <cstring>

namespace {
// What is collected before it is passed to the file, in one write.
constexpr size_t kBufferSize = size_t{1} << 16;
// Reserved room beyond what is asked, for StoreText's sixteen-byte copies.
constexpr size_t kSlack = 16;
} // namespace

TextModeWriter::~TextModeWriter() {
    Close();
}

bool TextModeWriter::Create(const std::string& modulePath) {
    Close();
    used = 0;
    return file.CreateForWriting(PathMapping::ToSystemPath(modulePath));
}

char* TextModeWriter::Reserve(size_t room) {
    room += kSlack;
    if (buffer.size() - used < room) {
        Flush();
        if (buffer.size() < room || buffer.size() < kBufferSize) {
            // At least kBufferSize, and as large as the longest line built in place.
            buffer.resize(room > kBufferSize ? room : kBufferSize);
        }
    }
    return buffer.data() + used;
}

void TextModeWriter::Commit(char* end) {
    used = static_cast<size_t>(end - buffer.data());
    if (used >= kBufferSize) {
        Flush();
    }
}

char* TextModeWriter::StoreText(char* out, const char* text, size_t length) {
    if (length <= 16) {
        // Short text (a name) is copied sixteen bytes at a time, then looked at for a line feed in words.
        char word[16] = {};
        std::memcpy(word, text, length);
        std::memcpy(out, word, 16);
        uint64_t low = 0;
        uint64_t high = 0;
        std::memcpy(&low, word, 8);
        std::memcpy(&high, word + 8, 8);
        constexpr uint64_t kOnes = 0x0101010101010101u;
        constexpr uint64_t kHighs = 0x8080808080808080u;
        const uint64_t lfLow = low ^ (kOnes * '\n');
        const uint64_t lfHigh = high ^ (kOnes * '\n');
        // A byte of the words is a line feed exactly when its byte above is zero here.
        if (((((lfLow - kOnes) & ~lfLow) | ((lfHigh - kOnes) & ~lfHigh)) & kHighs) == 0) {
            return out + length;
        }
    }
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
    if (file.IsOpen() && used != 0) {
        // A failed write (a full disk) is not reported: the callers' results do not depend on it.
        file.Write(buffer.data(), used);
    }
    used = 0;
}

void TextModeWriter::Close() {
    Flush();
    file.Close();
}
