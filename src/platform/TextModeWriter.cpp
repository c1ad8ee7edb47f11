#include "platform/TextModeWriter.h"

#include "platform/PathMapping.h"

#include <cstring>

namespace {
constexpr size_t kFlushThreshold = 1 << 16;
}

TextModeWriter::~TextModeWriter() {
    Close();
}

bool TextModeWriter::Create(const std::string& modulePath) {
    Close();
    pending.clear();
    return file.CreateForWriting(PathMapping::ToSystemPath(modulePath));
}

void TextModeWriter::Write(const char* text, size_t length) {
    const char* end = text + length;
    while (text < end) {
        const void* found = std::memchr(text, '\n', static_cast<size_t>(end - text));
        const char* lf = found != nullptr ? static_cast<const char*>(found) : end;
        pending.append(text, lf);
        if (lf == end) {
            break;
        }
        pending += "\r\n";
        text = lf + 1;
    }
    if (pending.size() >= kFlushThreshold) {
        Flush();
    }
}

void TextModeWriter::Put(char c) {
    if (c == '\n') {
        pending += '\r';
    }
    pending += c;
    if (pending.size() >= kFlushThreshold) {
        Flush();
    }
}

void TextModeWriter::Flush() {
    if (file.IsOpen() && !pending.empty()) {
        // A failed write (a full disk) is not reported: the callers' results do not depend on it.
        file.Write(pending.data(), pending.size());
    }
    pending.clear();
}

void TextModeWriter::Close() {
    Flush();
    file.Close();
}
