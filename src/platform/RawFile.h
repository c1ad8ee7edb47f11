#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorix {

// Error numbers of the file layer: errno values on POSIX, GetLastError values on Windows, and this one of
// the module's own.
constexpr int kNotRegularFile = -2; // the path names a FIFO, a device, a socket or a folder

// The system's text for an error number of the file layer ("No space left on device").
std::string FileErrorText(int error);

// Fault injection for tests: while a plan is installed, every file operation asks it first, and fails with
// the error number it gives instead of running (a write writes half its bytes before it fails, as on a
// full disk). Production code installs none; the check is one load of a pointer.
class FileFaults {
public:
    enum class Operation { Create, Write, Close, Move, Link };

    virtual ~FileFaults() = default;
    // The error number that this operation fails with, or 0 to let it run.
    virtual int Next(Operation operation, const std::string& systemPath) = 0;

    // Installs `plan` for the whole process (null removes it). Not for use while files are being written.
    static void Install(FileFaults* plan);
    // The error number the installed plan gives for this operation, 0 without a plan.
    static int Check(Operation operation, const std::string& systemPath);
};

// A file of the operating system, opened by its path with a sharing mode that denies other processes
// nothing. Reads and writes bytes unchanged: every translation of line ends is done above this layer, so
// that the bytes read and written are the same on every platform. Nothing here waits on a pipe or a
// device, and nothing written goes through a symbolic link.
class RawFile {
public:
    RawFile() = default;
    ~RawFile();
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    // Opens an existing regular file for reading (a link to one is followed). A FIFO, a device or a folder
    // is refused without being waited on, as kNotRegularFile.
    bool OpenForReading(const std::string& systemPath);
    // Creates a new file for writing; fails when anything, a link included, already has the name.
    bool CreateNew(const std::string& systemPath);
    // Opens the file for writing and empties it, creating it when missing; refuses a link (it is never
    // followed) and anything that is not a regular file.
    bool CreatePlain(const std::string& systemPath);
    bool IsOpen() const;
    // Closes the file; false when the system reports an error for it (written bytes may then be lost).
    bool Close();

    // Reads up to `count` bytes; returns the number read, 0 at end of file or on an error.
    size_t Read(char* buffer, size_t count);
    // Writes all `count` bytes; false on an error.
    bool Write(const char* buffer, size_t count);
    // Moves the file position to `offset` bytes from the start; positions past the end are allowed.
    bool SeekTo(int64_t offset);
    // The size of the open file, or -1 when the system cannot tell.
    int64_t Size() const;
    // The error number of the last failed operation.
    int LastError() const { return lastError; }

    // Puts the file `from` in the place of `to`, replacing what has that name (a link is replaced itself,
    // not its target). 0 or the error number.
    static int Move(const std::string& from, const std::string& to);
    // Gives the file `existing` (a link itself, not its target) the second name `name`. 0 or the error
    // number.
    static int Link(const std::string& existing, const std::string& name);
    // Whether a Link error says that the file system has no second names at all.
    static bool NoLinksHere(int error);
    // Whether anything, a dangling link included, has the name.
    static bool Exists(const std::string& systemPath);
    // Removes a file, quietly.
    static void Remove(const std::string& systemPath);

private:
#ifdef _WIN32
    void* handle = nullptr;
#else
    int fd = -1;
#endif
    std::string openPath; // for the fault plan
    bool writing = false; // opened for writing: its close can lose bytes
    int lastError = 0;
};

} // namespace quorix
