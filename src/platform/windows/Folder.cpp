#include "platform/Folder.h"

#include "platform/RawFile.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <process.h>

namespace quorix {

namespace {
bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// 100-nanosecond steps from 1601 to 1970.
constexpr int64_t kEpochSteps = 116444736000000000LL;

int64_t Nanoseconds(const FILETIME& time) {
    const int64_t steps =
        static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (steps - kEpochSteps) * 100;
}

// The name of the mutex that stands for the folder `path`: derived from its full path, with the case of
// letters folded as the file system folds it (a folder has one lock however it is spelt), hashed so that any
// path gives a name of the system's length. Global, so that writers in other sessions see it too.
std::string MutexName(const std::string& path, const char* scope) {
    char full[MAX_PATH * 4] = {};
    const DWORD length = GetFullPathNameA(path.empty() ? "." : path.c_str(), sizeof full, full, nullptr);
    std::string folder = length > 0 && length < sizeof full ? std::string(full, length) : path;
    while (folder.size() > 3 && IsSeparator(folder.back())) {
        folder.pop_back();
    }
    uint64_t hash = 14695981039346656037ULL; // FNV-1a
    for (char c : folder) {
        const char folded = c == '/' ? '\\' : (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        hash = (hash ^ static_cast<unsigned char>(folded)) * 1099511628211ULL;
    }
    char name[96];
    std::snprintf(name, sizeof name, "%s\\quorix_marker-folder-%016llx", scope,
                  static_cast<unsigned long long>(hash));
    return name;
}
} // namespace

unsigned long ThisProcessNumber() {
    return static_cast<unsigned long>(_getpid());
}

void Folder::Split(const std::string& systemPath, std::string& folder, std::string& name) {
    const size_t drive = systemPath.size() >= 2 && systemPath[1] == ':' ? 2 : 0; // "C:"
    const size_t separator = systemPath.find_last_of("\\/");
    if (separator == std::string::npos || separator < drive) { // "x", or "C:x" in that drive's folder
        folder = systemPath.substr(0, drive);
        name = systemPath.substr(drive);
        return;
    }
    // A separator just after the drive, or at the start, is the root: it stays with the folder.
    folder = systemPath.substr(0, separator == drive ? separator + 1 : separator);
    name = systemPath.substr(separator + 1);
}

Folder::~Folder() {
    Close();
}

std::error_code Folder::Open(const std::string& systemPath) {
    Close();
    path = systemPath;
    prefix = systemPath;
    if (!prefix.empty() && !IsSeparator(prefix.back()) && !(prefix.size() == 2 && prefix[1] == ':')) {
        prefix += '\\';
    }
    const DWORD attributes = GetFileAttributesA(systemPath.empty() ? "." : systemPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return LastSystemError();
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return SystemError(std::errc::not_a_directory);
    }
    return {};
}

void Folder::Close() {}

std::string Folder::PathOf(const std::string& name) const {
    return prefix + name;
}

std::error_code Folder::Look(const std::string& name, FolderEntry& entry) const {
    entry = FolderEntry();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(PathOf(name).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        return ErrorUnless(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND);
    }
    entry.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FolderEntry::Kind::Link
                 : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? FolderEntry::Kind::Folder
                                                                             : FolderEntry::Kind::Regular;
    entry.mode = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    entry.changedNanoseconds = Nanoseconds(data.ftLastWriteTime);
    return {};
}

std::error_code Folder::MayWrite(const std::string& name) const {
    const DWORD attributes = GetFileAttributesA(PathOf(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0
               ? SystemError(std::errc::permission_denied)
               : std::error_code();
}

size_t Folder::NameLimit() const {
    return 255;
}

std::error_code Folder::List(std::vector<std::string>& names) const {
    names.clear();
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(PathOf("*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return LastSystemError();
    }
    // Closed however the listing ends: a name that finds no memory ends it with an exception.
    const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> closing(search, FindClose);
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (FindNextFileA(search, &found));
    return ErrorUnless(GetLastError() == ERROR_NO_MORE_FILES);
}

std::error_code Folder::Move(const std::string& from, const std::string& to) const {
    if (const std::error_code injected = FileFaults::Check(FileFaults::Operation::Move, *this, to)) {
        return injected;
    }
    const std::string source = PathOf(from);
    const std::string target = PathOf(to);
    if (MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return {};
    }
    const DWORD error = GetLastError();
    // The host may hold its import file open while the next import replaces it; a file held open without
    // leave to delete it cannot be moved over on Windows. Its bytes are then copied over the old ones in
    // place, as the host's own writers do: not in one step, but only once the complete file exists.
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if ((error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) &&
        attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
            0 &&
        CopyFileA(source.c_str(), target.c_str(), FALSE)) {
        DeleteFileA(source.c_str());
        return {};
    }
    return {static_cast<int>(error), std::system_category()};
}

std::error_code Folder::Link(const std::string& existing, const std::string& name) const {
    if (const std::error_code injected = FileFaults::Check(FileFaults::Operation::Link, *this, name)) {
        return injected;
    }
    return ErrorUnless(CreateHardLinkA(PathOf(name).c_str(), PathOf(existing).c_str(), nullptr) != 0);
}

std::error_code Folder::Copy(const std::string& existing, const std::string& copy) const {
    if (const std::error_code injected = FileFaults::Check(FileFaults::Operation::Copy, *this, copy)) {
        return injected;
    }
    const std::string source = PathOf(existing);
    const DWORD attributes = GetFileAttributesA(source.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return LastSystemError();
    }
    if ((attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        // a link is never opened, so it cannot be copied
        return {static_cast<int>(ERROR_NOT_SUPPORTED), std::system_category()};
    }
    const std::string target = PathOf(copy);
    if (CopyFileA(source.c_str(), target.c_str(), TRUE)) {
        return {};
    }
    const std::error_code error = LastSystemError();
    if (error != SystemError(std::errc::file_exists)) {
        DeleteFileA(target.c_str()); // what a failed copy may have left
    }
    return error;
}

void Folder::Remove(const std::string& name) const {
    DeleteFileA(PathOf(name).c_str());
}

std::error_code Folder::KeepMetadata(RawFile& /*file*/, const FolderEntry& /*entry*/) {
    return {}; // a new file takes the permissions that its folder hands down, as the host's own files do
}

FolderLock::~FolderLock() {
    Release();
}

FolderLock::Outcome FolderLock::Acquire(const Folder& folder, std::chrono::milliseconds wait,
                                        const std::function<bool()>& stop) {
    Release();
    HANDLE handle = CreateMutexA(nullptr, FALSE, MutexName(folder.Path(), "Global").c_str());
    if (handle == nullptr) {
        // A process that may not make global names (a sandbox) locks out the writers of its own session.
        handle = CreateMutexA(nullptr, FALSE, MutexName(folder.Path(), "Local").c_str());
    }
    if (handle == nullptr) {
        error = LastSystemError();
        return Outcome::Unavailable;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        const DWORD step = static_cast<DWORD>(std::max<long long>(0, std::min<long long>(left, 50)));
        const DWORD waited = WaitForSingleObject(handle, step);
        // An abandoned mutex was held by a writer that ended without releasing it: the lock is ours.
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
            mutex = handle;
            held = true;
            return Outcome::Held;
        }
        if (waited != WAIT_TIMEOUT) {
            error = LastSystemError();
            CloseHandle(handle);
            return Outcome::Unavailable;
        }
        if (stop && stop()) {
            CloseHandle(handle);
            return Outcome::Stopped;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            CloseHandle(handle);
            return Outcome::TimedOut;
        }
    }
}

void FolderLock::Release() {
    if (mutex != nullptr) {
        if (held) {
            ReleaseMutex(static_cast<HANDLE>(mutex));
        }
        CloseHandle(static_cast<HANDLE>(mutex));
    }
    mutex = nullptr;
    held = false;
}

} // namespace quorix
