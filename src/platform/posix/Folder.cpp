#include "platform/Folder.h"

#include "platform/RawFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <memory>
#include <thread>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorix {

namespace {
FolderEntry EntryOf(const struct stat& info) {
    FolderEntry entry;
    entry.kind = S_ISREG(info.st_mode)   ? FolderEntry::Kind::Regular
                 : S_ISLNK(info.st_mode) ? FolderEntry::Kind::Link
                 : S_ISDIR(info.st_mode) ? FolderEntry::Kind::Folder
                                         : FolderEntry::Kind::Other;
    entry.mode = static_cast<unsigned>(info.st_mode & 07777);
    entry.owner = static_cast<long long>(info.st_uid);
    entry.group = static_cast<long long>(info.st_gid);
    entry.changedNanoseconds =
        static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + static_cast<int64_t>(info.st_mtim.tv_nsec);
    return entry;
}

// Sets owner, group and permissions of the open file `fd` to those of `entry`, as far as allowed. The
// error of the permissions, which a file must not be left without.
std::error_code GiveMetadata(int fd, const FolderEntry& entry) {
    const bool ownersKept = ::fchown(fd, static_cast<uid_t>(entry.owner), static_cast<gid_t>(entry.group)) == 0;
    // Not root: the file stays this user's, and keeps the group when the user belongs to it.
    const bool groupKept =
        ownersKept || ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(entry.group)) == 0;
    // A set-user or set-group bit on a file of another owner or group than before would hand that
    // owner's or group's rights to whoever runs it: each bit goes with its own id only.
    mode_t mode = static_cast<mode_t>(entry.mode);
    if (!ownersKept) {
        mode &= ~static_cast<mode_t>(S_ISUID);
    }
    if (!groupKept) {
        mode &= ~static_cast<mode_t>(S_ISGID);
    }
    return ErrorUnless(::fchmod(fd, mode) == 0);
}

// Reads and writes until the whole of `from` is in `to`.
std::error_code CopyBytes(int from, int to) {
    char buffer[1 << 14];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0) {
            return {};
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastSystemError();
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return put < 0 ? LastSystemError() : SystemError(std::errc::io_error);
            }
            done += put;
        }
    }
}
} // namespace

unsigned long ThisProcessNumber() {
    return static_cast<unsigned long>(::getpid());
}

void Folder::Split(const std::string& systemPath, std::string& folder, std::string& name) {
    const size_t slash = systemPath.find_last_of('/');
    if (slash == std::string::npos) {
        folder.clear();
        name = systemPath;
        return;
    }
    folder = systemPath.substr(0, slash == 0 ? 1 : slash);
    name = systemPath.substr(slash + 1);
}

Folder::~Folder() {
    Close();
}

std::error_code Folder::Open(const std::string& systemPath) {
    Close();
    path = systemPath;
    const char* const name = systemPath.empty() ? "." : systemPath.c_str();
    descriptor = ::open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#ifdef O_PATH
    if (descriptor < 0 && errno == EACCES) {
        // A folder that may be written but not listed: names can still be looked up in it; it cannot be
        // locked or cleaned.
        descriptor = ::open(name, O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
#endif
    return ErrorUnless(descriptor >= 0);
}

void Folder::Close() {
    if (descriptor >= 0) {
        ::close(descriptor);
    }
    descriptor = -1;
}

std::string Folder::PathOf(const std::string& name) const {
    if (path.empty()) {
        return name;
    }
    return path.back() == '/' ? path + name : path + "/" + name;
}

std::error_code Folder::Look(const std::string& name, FolderEntry& entry) const {
    entry = FolderEntry();
    struct stat info {};
    if (::fstatat(descriptor, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return ErrorUnless(errno == ENOENT);
    }
    entry = EntryOf(info);
    return {};
}

std::error_code Folder::MayWrite(const std::string& name) const {
    return ErrorUnless(::faccessat(descriptor, name.c_str(), W_OK, 0) == 0);
}

size_t Folder::NameLimit() const {
    const long limit = ::fpathconf(descriptor, _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : 255;
}

std::error_code Folder::List(std::vector<std::string>& names) const {
    names.clear();
    const int listing = ::openat(descriptor, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return LastSystemError();
    }
    // Closed however the listing ends: a name that finds no memory ends it with an exception.
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::fdopendir(listing), ::closedir);
    if (!folder) {
        const std::error_code error = LastSystemError();
        ::close(listing);
        return error;
    }
    errno = 0;
    while (const struct dirent* entry = ::readdir(folder.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    return ErrorUnless(errno == 0);
}

std::error_code Folder::Move(const std::string& from, const std::string& to) const {
    if (const std::error_code injected = FileFaults::Check(FileFaults::Operation::Move, *this, to)) {
        return injected;
    }
    return ErrorUnless(::renameat(descriptor, from.c_str(), descriptor, to.c_str()) == 0);
}

std::error_code Folder::Link(const std::string& existing, const std::string& name) const {
    if (const std::error_code injected = FileFaults::Check(FileFaults::Operation::Link, *this, name)) {
        return injected;
    }
    // Flags 0: a link is given the second name itself, not its target.
    return ErrorUnless(::linkat(descriptor, existing.c_str(), descriptor, name.c_str(), 0) == 0);
}

std::error_code Folder::Copy(const std::string& existing, const std::string& copy) const {
    if (const std::error_code injected = FileFaults::Check(FileFaults::Operation::Copy, *this, copy)) {
        return injected;
    }
    struct stat info {};
    if (::fstatat(descriptor, existing.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return LastSystemError();
    }
    if (S_ISLNK(info.st_mode)) {
        // A link is copied as a link: what it names is never opened.
        char target[PATH_MAX + 1];
        const ssize_t length = ::readlinkat(descriptor, existing.c_str(), target, PATH_MAX);
        if (length < 0) {
            return LastSystemError();
        }
        target[length] = '\0';
        return ErrorUnless(::symlinkat(target, descriptor, copy.c_str()) == 0);
    }
    if (!S_ISREG(info.st_mode)) {
        return FileError::NotRegularFile;
    }
    const int from = ::openat(descriptor, existing.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (from < 0) {
        return LastSystemError();
    }
    const int to = ::openat(descriptor, copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (to < 0) {
        const std::error_code error = LastSystemError();
        ::close(from);
        return error;
    }
    std::error_code error = ErrorUnless(::fstat(from, &info) == 0);
    if (!error && !S_ISREG(info.st_mode)) {
        error = FileError::NotRegularFile;
    }
    if (!error) {
        error = CopyBytes(from, to);
    }
    if (!error) {
        error = GiveMetadata(to, EntryOf(info));
    }
    if (::close(to) != 0 && !error) {
        error = LastSystemError();
    }
    ::close(from);
    if (error) {
        ::unlinkat(descriptor, copy.c_str(), 0);
    }
    return error;
}

void Folder::Remove(const std::string& name) const {
    ::unlinkat(descriptor, name.c_str(), 0);
}

std::error_code Folder::KeepMetadata(RawFile& file, const FolderEntry& entry) {
    return file.fd < 0 ? SystemError(std::errc::bad_file_descriptor) : GiveMetadata(file.fd, entry);
}

FolderLock::~FolderLock() {
    Release();
}

FolderLock::Outcome FolderLock::Acquire(const Folder& folder, std::chrono::milliseconds wait,
                                        const std::function<bool()>& stop) {
    Release();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    // Short pauses at first, so that a lock held for one conversion's moment costs little; then longer.
    std::chrono::milliseconds pause(2);
    for (;;) {
        if (::flock(folder.descriptor, LOCK_EX | LOCK_NB) == 0) {
            locked = &folder;
            held = true;
            return Outcome::Held;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EWOULDBLOCK) {
            error = LastSystemError(); // no locks here (a folder that may not be listed, a file system without them)
            return Outcome::Unavailable;
        }
        if (stop && stop()) {
            return Outcome::Stopped;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return Outcome::TimedOut;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        std::this_thread::sleep_for(std::min(pause, left + std::chrono::milliseconds(1)));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

void FolderLock::Release() {
    if (held) {
        ::flock(locked->descriptor, LOCK_UN);
    }
    held = false;
    locked = nullptr;
}

} // namespace quorix
