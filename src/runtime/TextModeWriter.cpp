#include "runtime/TextModeWriter.h"

namespace quorix::runtime {

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

void TextModeWriter::Write(std::string_view text) {
    // In pieces, so that the room taken for the stored form of a long text stays small.
    constexpr size_t kPiece = size_t{1} << 15;
    while (!text.empty()) {
        const size_t piece = text.size() < kPiece ? text.size() : kPiece;
        sink.Commit(StoreText(sink.Reserve(2 * piece), text.data(), piece));
        text.remove_prefix(piece);
    }
}

} // namespace quorix::runtime
