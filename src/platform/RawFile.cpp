#include "platform/RawFile.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <climits>

RawFile::~RawFile() {
    Close();
}

#ifdef _WIN32

namespace {
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
}

bool RawFile::OpenForReading(const std::string& systemPath) {
    Close();
    HANDLE h = CreateFileA(systemPath.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        lastError = static_cast<int>(GetLastError());
        return false;
    }
    handle = h;
    return true;
}

bool RawFile::CreateForWriting(const std::string& systemPath) {
    Close();
    HANDLE h = CreateFileA(systemPath.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        lastError = static_cast<int>(GetLastError());
        return false;
    }
    handle = h;
    return true;
}

bool RawFile::IsOpen() const {
    return handle != nullptr;
}

void RawFile::Close() {
    if (handle != nullptr) {
        CloseHandle(static_cast<HANDLE>(handle));
        handle = nullptr;
    }
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
    size_t total = 0;
    while (total < count) {
        const DWORD chunk = static_cast<DWORD>(count - total > 0x40000000u ? 0x40000000u : count - total);
        DWORD put = 0;
        if (!WriteFile(static_cast<HANDLE>(handle), buffer + total, chunk, &put, nullptr) || put == 0) {
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

#else

bool RawFile::OpenForReading(const std::string& systemPath) {
    Close();
    const int f = ::open(systemPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (f < 0) {
        lastError = errno;
        return false;
    }
    struct stat info {};
    if (::fstat(f, &info) == 0 && S_ISDIR(info.st_mode)) {
        // A folder opens on POSIX but not as a file on Windows; refuse it the same way.
        ::close(f);
        lastError = EISDIR;
        return false;
    }
    fd = f;
    return true;
}

bool RawFile::CreateForWriting(const std::string& systemPath) {
    Close();
    const int f = ::open(systemPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (f < 0) {
        lastError = errno;
        return false;
    }
    fd = f;
    return true;
}

bool RawFile::IsOpen() const {
    return fd >= 0;
}

void RawFile::Close() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
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
    size_t total = 0;
    while (total < count) {
        const ssize_t put = ::write(fd, buffer + total, count - total);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
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

#endif
