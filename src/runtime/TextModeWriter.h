#pragma once

#include "platform/ReplacementFile.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quorix::runtime {

// An output file written in text mode as the Windows C runtime writes it: every line feed written is
// stored as the pair CR LF, every other byte unchanged. The same bytes result on every platform.
//
// The file replaces the one at its path only when it is complete (see ReplacementFile): Finish closes it,
// Replace moves it into place. A writer destroyed before Replace leaves the old file as it was.
class TextModeWriter {
public:
    TextModeWriter() = default;
    TextModeWriter(const TextModeWriter&) = delete;
    TextModeWriter& operator=(const TextModeWriter&) = delete;

    // Starts the file that replaces the file `name` in the open `folder`; false when it cannot be created.
    bool Create(const Folder& folder, const std::string& name);
    // Keeps what is written in memory, in its stored form, instead of writing it to a file: a part of a
    // file made while its beginning is written elsewhere. Collected() gives it. Room for `expected`
    // bytes is taken at once.
    void CollectInMemory(size_t expected);
    std::string_view Collected() const { return std::string_view(buffer.get(), used); }
    // Writes bytes that are already in their stored form (what another writer collected).
    void WriteStored(std::string_view stored);

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

    // Passes what is buffered to the file.
    void Flush();
    // Flushes and closes the file: true when everything written reached it.
    bool Finish();
    // Finishes and moves the complete file into place: true when it is there.
    bool Replace();
    // What failed, when something did.
    const ReplacementFile& Output() const { return file; }
    ReplacementFile& Output() { return file; }

private:
    // Makes the buffer hold at least `size` bytes, keeping what it holds.
    void Grow(size_t size);

    ReplacementFile file;
    std::unique_ptr<char[]> buffer; // what is not yet passed to the file: `used` of `capacity` bytes
    size_t capacity = 0;
    size_t used = 0;
    bool collecting = false;
};

} // namespace quorix::runtime
