#include "platform/RawFile.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <climits>

namespace quorix {

namespace {
std::atomic<FileFaults*> installedFaults{nullptr};
} // namespace

void FileFaults::Install(FileFaults* plan) {
    installedFaults.store(plan);
}

int FileFaults::Check(Operation operation, const std::string& systemPath) {
    FileFaults* plan = installedFaults.load(std::memory_order_relaxed);
    return plan != nullptr ? plan->Next(operation, systemPath) : 0;
}

RawFile::~RawFile() {
    Close();
}

#ifdef _WIN32

namespace {
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens `path` with CreateFileA, and keeps the handle only for a file on a disk: a pipe or a console
// device could make a read or a write wait for ever. Null, with `error` set, when it cannot be had.
HANDLE OpenDiskFile(const std::string& path, DWORD access, DWORD disposition, DWORD flags, int& error) {
    HANDLE h = CreateFileA(path.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(GetLastError());
        return nullptr;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        error = kNotRegularFile;
        return nullptr;
    }
    return h;
}
} // namespace

std::string FileErrorText(int error) {
    if (error == kNotRegularFile) {
        return "not a regular file";
    }
    char text[512] = {};
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(error),
        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.' ||
                                message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

bool RawFile::OpenForReading(const std::string& systemPath) {
    Close();
    handle = OpenDiskFile(systemPath, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, lastError);
    openPath = systemPath;
    writing = false;
    return handle != nullptr;
}

bool RawFile::CreateNew(const std::string& systemPath) {
    Close();
    if (const int injected = FileFaults::Check(FileFaults::Operation::Create, systemPath)) {
        lastError = injected;
        return false;
    }
    handle = OpenDiskFile(systemPath, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, lastError);
    openPath = systemPath;
    writing = true;
    return handle != nullptr;
}

bool RawFile::CreatePlain(const std::string& systemPath) {
    Close();
    const DWORD attributes = GetFileAttributesA(systemPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        lastError = kNotRegularFile;
        return false;
    }
    handle = OpenDiskFile(systemPath, GENERIC_WRITE, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, lastError);
    openPath = systemPath;
    writing = true;
    return handle != nullptr;
}

bool RawFile::IsOpen() const {
    return handle != nullptr;
}

bool RawFile::Close() {
    if (handle == nullptr) {
        return true;
    }
    bool closed = CloseHandle(static_cast<HANDLE>(handle)) != 0;
    handle = nullptr;
    if (!closed) {
        lastError = static_cast<int>(GetLastError());
    }
    if (const int injected = writing ? FileFaults::Check(FileFaults::Operation::Close, openPath) : 0) {
        lastError = injected;
        closed = false;
    }
    return closed;
}

size_t RawFile::Read(char* buffer, size_t count) {
    if (handle == nullptr) {
        return 0;
    }
    size_t total = 0;
    while (total < count) {
        const DWORD chunk = static_cast<DWORD>(count - total > 0x40000000u ? 0x40000000u : count - total);
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(handle), buffer + total, chunk, &got, nullptr) || got == 0) {
            break;
        }
        total += got;
    }
    return total;
}

bool RawFile::Write(const char* buffer, size_t count) {
    if (handle == nullptr) {
        return false;
    }
    if (const int injected = FileFaults::Check(FileFaults::Operation::Write, openPath)) {
        DWORD put = 0;
        WriteFile(static_cast<HANDLE>(handle), buffer, static_cast<DWORD>(count / 2), &put, nullptr);
        lastError = injected;
        return false;
    }
    size_t total = 0;
    while (total < count) {
        const DWORD chunk = static_cast<DWORD>(count - total > 0x40000000u ? 0x40000000u : count - total);
        DWORD put = 0;
        if (!WriteFile(static_cast<HANDLE>(handle), buffer + total, chunk, &put, nullptr) || put == 0) {
            lastError = static_cast<int>(GetLastError());
            return false;
        }
        total += put;
    }
    return true;
}

bool RawFile::SeekTo(int64_t offset) {
    if (handle == nullptr) {
        return false;
    }
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(static_cast<HANDLE>(handle), distance, nullptr, FILE_BEGIN) != 0;
}

int64_t RawFile::Size() const {
    LARGE_INTEGER size;
    if (handle == nullptr || !GetFileSizeEx(static_cast<HANDLE>(handle), &size)) {
        return -1;
    }
    return size.QuadPart;
}

int RawFile::Move(const std::string& from, const std::string& to) {
    if (const int injected = FileFaults::Check(FileFaults::Operation::Move, to)) {
        return injected;
    }
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return 0;
    }
    const DWORD error = GetLastError();
    // The host may hold its import file open while the next import replaces it; a file held open without
    // leave to delete it cannot be moved over on Windows. Its bytes are then copied over the old ones in
    // place, as the host's own writers do: not in one step, but only once the complete file exists.
    const DWORD attributes = GetFileAttributesA(to.c_str());
    if ((error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) &&
        attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
            0 &&
        CopyFileA(from.c_str(), to.c_str(), FALSE)) {
        DeleteFileA(from.c_str());
        return 0;
    }
    return static_cast<int>(error);
}

int RawFile::Link(const std::string& existing, const std::string& name) {
    if (const int injected = FileFaults::Check(FileFaults::Operation::Link, name)) {
        return injected;
    }
    return CreateHardLinkA(name.c_str(), existing.c_str(), nullptr) ? 0 : static_cast<int>(GetLastError());
}

bool RawFile::NoLinksHere(int error) {
    return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED || error == ERROR_NOT_SAME_DEVICE;
}

bool RawFile::Exists(const std::string& systemPath) {
    return GetFileAttributesA(systemPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RawFile::Remove(const std::string& systemPath) {
    DeleteFileA(systemPath.c_str());
}

#else

std::string FileErrorText(int error) {
    if (error == kNotRegularFile) {
        return "not a regular file";
    }
    return std::strerror(error);
}

namespace {
// The error for an existing path that is not a regular file.
int NotRegular(mode_t mode) {
    return S_ISDIR(mode) ? EISDIR : kNotRegularFile;
}
} // namespace

bool RawFile::OpenForReading(const std::string& systemPath) {
    Close();
    // A FIFO or a device is refused before it is opened (opening can wait for a writer, or act on a
    // device); the open itself never waits, and what was opened is checked again.
    struct stat info {};
    if (::stat(systemPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        lastError = NotRegular(info.st_mode);
        return false;
    }
    const int f = ::open(systemPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (f < 0) {
        lastError = errno;
        return false;
    }
    if (::fstat(f, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(f);
        lastError = NotRegular(info.st_mode);
        return false;
    }
    fd = f;
    openPath = systemPath;
    writing = false;
    return true;
}

bool RawFile::CreateNew(const std::string& systemPath) {
    Close();
    if (const int injected = FileFaults::Check(FileFaults::Operation::Create, systemPath)) {
        lastError = injected;
        return false;
    }
    const int f = ::open(systemPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (f < 0) {
        lastError = errno;
        return false;
    }
    fd = f;
    openPath = systemPath;
    writing = true;
    return true;
}

bool RawFile::CreatePlain(const std::string& systemPath) {
    Close();
    struct stat info {};
    if (::lstat(systemPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        lastError = S_ISLNK(info.st_mode) ? kNotRegularFile : NotRegular(info.st_mode);
        return false;
    }
    // Without O_TRUNC: only a file known to be regular is emptied.
    const int f = ::open(systemPath.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (f < 0) {
        lastError = errno == ELOOP ? kNotRegularFile : errno;
        return false;
    }
    if (::fstat(f, &info) != 0 || !S_ISREG(info.st_mode) || ::ftruncate(f, 0) != 0) {
        ::close(f);
        lastError = kNotRegularFile;
        return false;
    }
    fd = f;
    openPath = systemPath;
    writing = true;
    return true;
}

bool RawFile::IsOpen() const {
    return fd >= 0;
}

bool RawFile::Close() {
    if (fd < 0) {
        return true;
    }
    // Not retried on EINTR: the descriptor is released whatever close reports.
    bool closed = ::close(fd) == 0;
    fd = -1;
    if (!closed) {
        lastError = errno;
    }
    if (const int injected = writing ? FileFaults::Check(FileFaults::Operation::Close, openPath) : 0) {
        lastError = injected;
        closed = false;
    }
    return closed;
}

size_t RawFile::Read(char* buffer, size_t count) {
    if (fd < 0) {
        return 0;
    }
    size_t total = 0;
    while (total < count) {
        const ssize_t got = ::read(fd, buffer + total, count - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        total += static_cast<size_t>(got);
    }
    return total;
}

bool RawFile::Write(const char* buffer, size_t count) {
    if (fd < 0) {
        return false;
    }
    if (const int injected = FileFaults::Check(FileFaults::Operation::Write, openPath)) {
        // As a full disk does: part of the bytes land, then the write fails.
        if (::write(fd, buffer, count / 2) < 0) {
            lastError = errno;
        }
        lastError = injected;
        return false;
    }
    size_t total = 0;
    while (total < count) {
        const ssize_t put = ::write(fd, buffer + total, count - total);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            lastError = put < 0 ? errno : EIO;
            return false;
        }
        total += static_cast<size_t>(put);
    }
    return true;
}

bool RawFile::SeekTo(int64_t offset) {
    if (fd < 0 || offset < 0) {
        return false;
    }
    return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

int64_t RawFile::Size() const {
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        return -1;
    }
    return static_cast<int64_t>(info.st_size);
}

int RawFile::Move(const std::string& from, const std::string& to) {
    if (const int injected = FileFaults::Check(FileFaults::Operation::Move, to)) {
        return injected;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RawFile::Link(const std::string& existing, const std::string& name) {
    if (const int injected = FileFaults::Check(FileFaults::Operation::Link, name)) {
        return injected;
    }
    // Flags 0: a link is given the second name itself, not its target.
    return ::linkat(AT_FDCWD, existing.c_str(), AT_FDCWD, name.c_str(), 0) == 0 ? 0 : errno;
}

bool RawFile::NoLinksHere(int error) {
    // (ENOTSUP and EOPNOTSUPP are one number on some systems and two on others.)
    for (const int none : {EPERM, EXDEV, ENOTSUP, EOPNOTSUPP, ENOSYS}) {
        if (error == none) {
            return true;
        }
    }
    return false;
}

bool RawFile::Exists(const std::string& systemPath) {
    struct stat info {};
    return ::lstat(systemPath.c_str(), &info) == 0;
}

void RawFile::Remove(const std::string& systemPath) {
    ::unlink(systemPath.c_str());
}

#endif

} // namespace quorix
