#include "entry/ShownText.h"

#include <cstdio>

namespace quorix {

size_t Utf8SequenceLength(const std::string& bytes, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80; // bounds of the second byte, which exclude overlong forms and surrogates
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > bytes.size() || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

std::string Escaped(const std::string& bytes, bool backslashAsIs) {
    std::string text;
    for (size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x80) {
            const size_t length = Utf8SequenceLength(bytes, i);
            if (length > 0) {
                text.append(bytes, i, length);
                i += length;
                continue;
            }
        }
        const char* named = byte == '\\' ? (backslashAsIs ? "\\" : "\\\\")
                            : byte == '\n'  ? "\\n"
                            : byte == '\t'  ? "\\t"
                            : byte == '\r'  ? "\\r"
                                            : nullptr;
        if (named != nullptr) {
            text += named;
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += static_cast<char>(byte);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            text += escaped;
        }
        ++i;
    }
    return text;
}

} // namespace quorix
