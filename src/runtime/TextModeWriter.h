#pragma once

#include "runtime/ByteSink.h"

#include <cstddef>
#include <string_view>

namespace quorix::runtime {

// Text written in text mode as the Windows C runtime writes it: every line feed is stored as the pair
// CR LF, every other byte unchanged, into any sink. The same bytes result on every platform.
class TextModeWriter {
public:
    explicit TextModeWriter(ByteSink& sink) : sink(sink) {}

    void Write(std::string_view text);
    // Puts `text` at `out` in stored form (each line feed as CR LF; room for twice its length) and returns
    // the end.
    static char* StoreText(char* out, const char* text, size_t length);

private:
    ByteSink& sink;
};

} // namespace quorix::runtime
