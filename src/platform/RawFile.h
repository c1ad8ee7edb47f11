#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A file of the operating system, opened by its path with a sharing mode that denies other processes
// nothing. Reads and writes bytes unchanged: every translation of line ends is done above this layer, so
// that the bytes read and written are the same on every platform.
class RawFile {
public:
    RawFile() = default;
    ~RawFile();
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    // Opens an existing file for reading.
    bool OpenForReading(const std::string& systemPath);
    // Creates the file or truncates an existing one, for writing only.
    bool CreateForWriting(const std::string& systemPath);
    bool IsOpen() const;
    void Close();

    // Reads up to `count` bytes; returns the number read, 0 at end of file or on an error.
    size_t Read(char* buffer, size_t count);
    // Writes all `count` bytes; false on an error.
    bool Write(const char* buffer, size_t count);
    // Moves the file position to `offset` bytes from the start; positions past the end are allowed.
    bool SeekTo(int64_t offset);
    // The error number of the last failed open (errno on POSIX, GetLastError on Windows).
    int LastError() const { return lastError; }

private:
#ifdef _WIN32
    void* handle = nullptr;
#else
    int fd = -1;
#endif
    int lastError = 0;
};
