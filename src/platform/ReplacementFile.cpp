#include "platform/ReplacementFile.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <process.h>
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorix {

namespace {
#ifdef _WIN32
constexpr const char* kSeparators = "\\/";
constexpr int kNameTaken = ERROR_FILE_EXISTS;
constexpr int kNotOpen = ERROR_INVALID_HANDLE;
constexpr int kIsAFolder = 336; // ERROR_DIRECTORY_NOT_SUPPORTED, missing from older SDK headers
unsigned long ProcessNumber() {
    return static_cast<unsigned long>(_getpid());
}
#else
constexpr const char* kSeparators = "/";
constexpr int kNameTaken = EEXIST;
constexpr int kNotOpen = EBADF;
unsigned long ProcessNumber() {
    return static_cast<unsigned long>(getpid());
}
#endif

// Names tried for one temporary file before giving up: each taken name is a file of another writer.
constexpr int kNameAttempts = 64;

// A name in the target's folder that no other writer picks: hidden, after the target, with the process
// number, a counter of this process and bits of the clock. It ends in ".tmp" so that a file left by a
// crash (the only way one survives) says what it is.
std::string TemporaryName(const std::string& target) {
    static std::atomic<unsigned long> counter{0};
    const size_t slash = target.find_last_of(kSeparators);
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const auto clock =
        static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFFFF);
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%lx-%lx-%lx.tmp", ProcessNumber(), counter.fetch_add(1), clock);
    return folder + "." + name + suffix;
}

// 0 when `target` may be replaced by this process, else the error that opening it for writing would give.
// `mode` receives the permissions of an existing regular file, so that its replacement keeps them.
int ReplaceableError(const std::string& target, unsigned& mode) {
    mode = 0;
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return 0; // missing; a missing folder shows when the temporary file is created
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return 0; // a link is replaced itself
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return kIsAFolder;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    return 0;
#else
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0) {
        return errno == ENOENT ? 0 : errno;
    }
    if (S_ISLNK(info.st_mode)) {
        return 0; // a link is replaced itself; its target is never touched
    }
    if (S_ISDIR(info.st_mode)) {
        return EISDIR;
    }
    if (!S_ISREG(info.st_mode)) {
        return kNotRegularFile;
    }
    // A file that the caller could not open for writing is not replaced behind its back either.
    if (::access(target.c_str(), W_OK) != 0) {
        return errno;
    }
    mode = static_cast<unsigned>(info.st_mode & 0777);
    return 0;
#endif
}
} // namespace

ReplacementFile::~ReplacementFile() {
    Discard();
}

bool ReplacementFile::Fail(Step step, int errorNumber) {
    if (failedStep == Step::None) {
        failedStep = step;
        error = errorNumber;
    }
    return false;
}

bool ReplacementFile::Create(const std::string& systemTarget) {
    Discard();
    target = systemTarget;
    failedStep = Step::None;
    error = 0;
    if (const int refused = ReplaceableError(target, keptMode)) {
        return Fail(Step::Create, refused);
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = TemporaryName(target);
        if (file.CreateNew(name)) {
            temporary = name;
#ifndef _WIN32
            // The replacement keeps the permissions of the file it replaces (less than the new file's
            // default only when the old one had fewer). Without this it would get the process's default.
            if (keptMode != 0) {
                ::chmod(temporary.c_str(), keptMode);
            }
#endif
            return true;
        }
        if (file.LastError() != kNameTaken) {
            break;
        }
    }
    return Fail(Step::Create, file.LastError());
}

bool ReplacementFile::Write(const char* bytes, size_t count) {
    if (Failed()) {
        return false;
    }
    if (!file.IsOpen()) {
        return Fail(Step::Write, kNotOpen);
    }
    if (count != 0 && !file.Write(bytes, count)) {
        return Fail(Step::Write, file.LastError());
    }
    return true;
}

bool ReplacementFile::Finish() {
    if (file.IsOpen() && !file.Close()) {
        Fail(Step::Close, file.LastError());
    }
    return !Failed() && !temporary.empty();
}

bool ReplacementFile::Commit() {
    if (!Finish()) {
        Discard();
        return false;
    }
    if (const int moveError = RawFile::Move(temporary, target)) {
        Fail(Step::Move, moveError);
        Discard();
        return false;
    }
    temporary.clear();
    return true;
}

void ReplacementFile::Discard() {
    file.Close();
    if (!temporary.empty()) {
        RawFile::Remove(temporary);
        temporary.clear();
    }
}

bool ReplacementFile::CommitBoth(ReplacementFile& first, ReplacementFile& second) {
    const bool finished = first.Finish();
    if (!finished || !second.Finish()) {
        first.Discard();
        second.Discard();
        return false;
    }
    // What the first target holds now is kept under a second name while the two are moved, so that it
    // can be put back. On a file system without second names it cannot be kept; then only a failure of
    // the second move (after the first succeeded) leaves the new first file beside the old second one.
    const bool hadFirst = RawFile::Exists(first.target);
    std::string kept;
    if (hadFirst) {
        kept = TemporaryName(first.target);
        if (const int linkError = RawFile::Link(first.target, kept)) {
            kept.clear();
            if (!RawFile::NoLinksHere(linkError)) {
                first.Fail(Step::Move, linkError);
                first.Discard();
                second.Discard();
                return false;
            }
        }
    }
    const auto dropKept = [&kept] {
        if (!kept.empty()) {
            RawFile::Remove(kept);
        }
    };
    if (!first.Commit()) {
        dropKept();
        second.Discard();
        return false;
    }
    if (!second.Commit()) {
        if (!kept.empty()) {
            if (RawFile::Move(kept, first.target) == 0) {
                kept.clear();
            }
        } else if (!hadFirst) {
            RawFile::Remove(first.target);
        }
        dropKept();
        return false;
    }
    dropKept();
    return true;
}

} // namespace quorix
