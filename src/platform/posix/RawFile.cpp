#include "platform/RawFile.h"

#include "platform/Folder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorix {

namespace {
// The error for an existing path that is not a regular file.
std::error_code NotRegular(mode_t mode) {
    return S_ISDIR(mode) ? SystemError(std::errc::is_a_directory) : FileError::NotRegularFile;
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
        lastError = LastSystemError();
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

bool RawFile::CreateNew(const Folder& folder, const std::string& name, bool ownerOnly) {
    Close();
    openPath = folder.PathOf(name);
    if (const std::error_code injected = FileFaults::Check(FileFaults::Operation::Create, openPath)) {
        lastError = injected;
        return false;
    }
    const int f = ::openat(folder.descriptor, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           ownerOnly ? 0600 : 0666);
    if (f < 0) {
        lastError = LastSystemError();
        return false;
    }
    fd = f;
    writing = true;
    return true;
}

bool RawFile::CreatePlain(const std::string& systemPath) {
    Close();
    struct stat info {};
    if (::lstat(systemPath.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        lastError = S_ISLNK(info.st_mode) ? FileError::NotRegularFile : NotRegular(info.st_mode);
        return false;
    }
    // Without O_TRUNC: only a file known to be regular is emptied.
    const int f = ::open(systemPath.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (f < 0) {
        lastError = errno == ELOOP ? FileError::NotRegularFile : LastSystemError();
        return false;
    }
    // A second name means a file of somebody else's may be behind this one: emptying it would empty that
    // file too, so it is left alone, as a link is.
    if (::fstat(f, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink > 1 || ::ftruncate(f, 0) != 0) {
        ::close(f);
        lastError = FileError::NotRegularFile;
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

long RawFile::ReadSome(char* buffer, size_t count) {
    for (;;) {
        const ssize_t got = ::read(fd, buffer, count);
        if (got >= 0 || errno != EINTR) {
            return static_cast<long>(got);
        }
    }
}

long RawFile::WriteSome(const char* buffer, size_t count) {
    for (;;) {
        const ssize_t put = ::write(fd, buffer, count);
        if (put >= 0 || errno != EINTR) {
            return static_cast<long>(put);
        }
    }
}

std::error_code RawFile::Release() {
    // Not retried on EINTR: the descriptor is released whatever close reports.
    const bool closed = ::close(fd) == 0;
    fd = -1;
    return ErrorUnless(closed);
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

} // namespace quorix
