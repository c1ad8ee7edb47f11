#pragma once

#include "platform/RawFile.h"
#include "runtime/TextModeReader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorix::detail {

// The input stream of a reader: a buffered file (or a block of memory read as one) with the state flags and
// the unformatted read, seek and line-getting semantics of a C++ input file stream. In text mode the bytes
// are translated as the Windows C runtime reads a text file (see TextModeReader). In binary mode the bytes
// arrive unchanged.
class FileStream {
public:
    enum class Mode { Binary, Text };

    FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Opens the file (path in the module's form) for reading; the state flags are not changed. Only a
    // regular file opens; LastError() tells why another did not.
    bool Open(const std::string& modulePath, Mode mode);
    // Reads `bytes` as the content of a file instead, with the same translation; they must outlive the
    // stream's use of them.
    void OpenMemory(std::string_view bytes, Mode mode);
    bool IsOpen() const { return file.IsOpen() || fromMemory; }
    std::error_code LastError() const { return file.LastError(); }
    // The size of the open file as the file system gives it, or -1 when it cannot tell. Only a hint for
    // sizing buffers: reading never depends on it.
    int64_t SizeHint() const;
    void Close();

    bool Eof() const { return eofBit; }
    bool Fail() const { return failBit; }
    bool Good() const { return !eofBit && !failBit; }
    void ClearState() { eofBit = failBit = false; }
    void SetFail() { failBit = true; }

    // Reads `count` bytes like an unformatted stream read: when fewer are left, those are read and the
    // stream is put into the end-of-file and failed states. Returns the number of bytes read.
    size_t Read(char* destination, size_t count);

    // Direct access to the bytes that follow the read position, for readers that take values straight out
    // of the buffer. Refills a drained buffer first; returns the number of bytes at `data`, 0 when the
    // stream is not good or the file has no more. The state flags are left as they are: a read that finds
    // nothing more sets them as usual.
    size_t Window(const char*& data) {
        if (pos == length && Good()) {
            Fill();
        }
        data = buffer.data() + pos;
        return Good() ? length - pos : 0;
    }
    // Moves the read position over `count` bytes of the last Window, as a read of them would.
    void Advance(size_t count) { pos += count; }

    // The read position in bytes from the start of the file; -1 when the stream is failed (binary mode).
    int64_t Tell() const;
    // Moves the read position by `offset` bytes from where it stands (binary mode); positions past the end
    // of the file are allowed and make the next read fail. Does nothing on a failed stream.
    void SeekRelative(int64_t offset);

    // Gets one field like the stream's line-getting operation with a buffer of `maxStored` + 1 characters:
    // characters are taken up to `delim` (consumed, not stored), the end of the file, or `maxStored`
    // characters; a further character other than `delim` then fails the stream and is left unread. A read
    // that takes nothing at all fails the stream. `field` receives the characters stored.
    void GetLine(std::string& field, size_t maxStored, char delim) { Extract(&field, maxStored, delim); }
    // Reads a field as GetLine does and drops its characters.
    void SkipLine(size_t maxStored, char delim) { Extract(nullptr, maxStored, delim); }

private:
    // GetLine, storing the characters in `field` unless it is null.
    void Extract(std::string* field, size_t maxStored, char delim);
    bool Fill();
    // Sizes the buffers for the mode.
    void PrepareBuffers();
    // Up to `count` bytes of the file or of the memory block, from where it stands.
    size_t ReadSource(char* to, size_t count);
    bool SeekSource(int64_t offset);

    RawFile file;
    std::string_view memory; // the bytes read instead of a file
    size_t memoryAt = 0;
    bool fromMemory = false;
    Mode mode = Mode::Binary;
    std::vector<char> buffer;
    std::vector<char> rawBuffer;
    size_t pos = 0;
    size_t length = 0;
    int64_t bufferStart = 0;  // file offset of buffer[0] (binary mode)
    bool seekPending = false; // the file position must be set to bufferStart before the next fill
    bool sourceEnded = false; // no more bytes will come from the file (end of file or 0x1A in text mode)
    runtime::TextModeReader textMode;
    bool eofBit = false;
    bool failBit = false;
};

} // namespace quorix::detail
