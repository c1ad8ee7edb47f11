#pragma once

#include "platform/SystemError.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorix {

class Folder;

// Fault injection for tests: while a plan is installed, every file operation asks it first, and fails with
// the error it gives instead of running (a write writes half its bytes before it fails, as on a
// full disk). Production code installs none; the check is one load of a pointer.
class FileFaults {
public:
    // KeepMetadata is asked between the creation of a replacement and the copy of the old file's owner
    // and permissions onto it: the moment a neighbour in the folder would swap the new name for a link.
    enum class Operation { Create, Write, Close, Move, Link, Copy, KeepMetadata };

    virtual ~FileFaults() = default;
    // The error that this operation fails with, or none to let it run.
    virtual std::error_code Next(Operation operation, const std::string& systemPath) = 0;

    // Installs `plan` for the whole process (null removes it). Not for use while files are being written.
    static void Install(FileFaults* plan);
    // The error the installed plan gives for this operation, none without a plan.
    static std::error_code Check(Operation operation, const std::string& systemPath);
    // The same for the file `name` in `folder`. Its path is made only when a plan is installed, so that
    // files are put in place, and put back, without allocating.
    static std::error_code Check(Operation operation, const Folder& folder, const std::string& name);
};

class RawFile {
public:
    RawFile() = default;
    ~RawFile();
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    // Opens an existing regular file for reading (a link to one is followed). A FIFO, a device or a folder
    // is refused without being waited on, as FileError::NotRegularFile; a folder as std::errc::is_a_directory.
    bool OpenForReading(const std::string& systemPath);
    // Creates the new file `name` in `folder` for writing; fails when anything, a link included, already
    // has the name. Readable by its owner only when `ownerOnly` (a replacement, until it is given the
    // permissions of the file it replaces), else as the process's file mode mask allows.
    bool CreateNew(const Folder& folder, const std::string& name, bool ownerOnly);
    // Opens the file for writing and empties it, creating it when missing; refuses a link (it is never
    // followed), a file with a second name (emptying it would empty another file too) and anything that is
    // not a regular file.
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
    // The error of the last failed operation.
    std::error_code LastError() const { return lastError; }

private:
    friend class Folder;

    // Closes the system's file, whatever it reports: the error it reports.
    std::error_code Release();
    // One read or write of the system's, of at most `count` bytes: the bytes it moved, -1 on an error.
    long ReadSome(char* buffer, size_t count);
    long WriteSome(const char* buffer, size_t count);

    void* handle = nullptr; // Windows: the file's handle
    int fd = -1;            // POSIX: the file's descriptor
    std::string openPath; // for the fault plan
    bool writing = false; // opened for writing: its close can lose bytes
    std::error_code lastError;
};

} // namespace quorix
