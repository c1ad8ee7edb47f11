#pragma once

#include "platform/RawFile.h"

#include <string>

// An output file written in text mode as the Windows C runtime writes it: every line feed written is
// stored as the pair CR LF, every other byte unchanged. The same bytes result on every platform.
class TextModeWriter {
public:
    TextModeWriter() = default;
    ~TextModeWriter();
    TextModeWriter(const TextModeWriter&) = delete;
    TextModeWriter& operator=(const TextModeWriter&) = delete;

    // Creates or truncates the file (path in the module's form); false when it cannot be opened.
    bool Create(const std::string& modulePath);
    bool IsOpen() const { return file.IsOpen(); }

    void Write(const char* text, size_t length);
    void Write(const std::string& text) { Write(text.data(), text.size()); }
    void Put(char c);
    void Flush();
    void Close();

private:
    RawFile file;
    std::string pending;
};
