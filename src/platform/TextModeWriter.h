#pragma once

#include "platform/RawFile.h"

#include <cstddef>
#include <string>
#include <vector>

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

    // Room for `room` bytes of stored form after what is written so far: the caller puts the bytes there
    // as they are to be stored (a line ends in CR LF; StoreText converts text that may hold line feeds)
    // and hands the end of them to Commit. Lines are built in place this way, without a copy.
    char* Reserve(size_t room);
    void Commit(char* end);
    // Puts `text` at `out` in stored form (each line feed as CR LF; room for twice its length) and returns
    // the end.
    static char* StoreText(char* out, const char* text, size_t length);

    void Flush();
    void Close();

private:
    RawFile file;
    std::vector<char> buffer; // what is not yet passed to the file: `used` bytes
    size_t used = 0;
};
