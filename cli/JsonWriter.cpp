#include "JsonWriter.h"

#include "ByteText.h"
#include "StandardOutput.h"

#include <charconv>
#include <cmath>

namespace quorix::cli {

namespace {
constexpr size_t kFlushSize = 1 << 16;
}

void JsonWriter::Flush() {
    if (!buffer.empty()) {
        WriteOutput(out, buffer.data(), buffer.size());
        buffer.clear();
    }
}

void JsonWriter::BeforeValue() {
    if (afterKey) {
        afterKey = false;
        return;
    }
    if (!counts.empty()) {
        buffer += counts.back()++ == 0 ? "\n" : ",\n";
        buffer.append(2 * counts.size(), ' ');
    }
    if (buffer.size() >= kFlushSize) {
        Flush();
    }
}

void JsonWriter::Open(char bracket) {
    BeforeValue();
    buffer += bracket;
    counts.push_back(0);
}

void JsonWriter::Close(char bracket) {
    const size_t members = counts.back();
    counts.pop_back();
    if (members > 0) {
        buffer += '\n';
        buffer.append(2 * counts.size(), ' ');
    }
    buffer += bracket;
    if (counts.empty()) {
        buffer += '\n';
        Flush();
    }
}

void JsonWriter::Key(std::string_view name) {
    BeforeValue();
    Quoted(name);
    buffer += ": ";
    afterKey = true;
}

void JsonWriter::Quoted(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    buffer += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            buffer += '\\';
            buffer += c;
        } else if (byte < 0x20) {
            buffer += "\\u00";
            buffer += kHex[byte >> 4];
            buffer += kHex[byte & 15];
        } else {
            buffer += c;
        }
    }
    buffer += '"';
}

void JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    Quoted(utf8);
}

void JsonWriter::Int(int64_t value) {
    BeforeValue();
    char text[24];
    buffer.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void JsonWriter::Bool(bool value) {
    BeforeValue();
    buffer += value ? "true" : "false";
}

void JsonWriter::Float(float value) {
    if (!std::isfinite(value)) {
        String(ShortestText(value));
        return;
    }
    BeforeValue();
    buffer += ShortestText(value);
}

void JsonWriter::Bytes(const std::string& bytes) {
    if (IsValidUtf8(bytes)) {
        String(bytes);
        return;
    }
    Object("hex", HexOf(bytes), "text", ToValidUtf8(bytes));
}

} // namespace quorix::cli
