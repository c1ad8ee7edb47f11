#include "platform/RawFile.h"

#include "platform/Folder.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace quorix {

namespace {
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens `path` with CreateFileA, and keeps the handle only for a file on a disk: a pipe or a console
// device could make a read or a write wait for ever. Null, with `error` set, when it cannot be had.
HANDLE OpenDiskFile(const std::string& path, DWORD access, DWORD disposition, DWORD flags,
                    std::error_code& error) {
    HANDLE h = CreateFileA(path.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = LastSystemError();
        return nullptr;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        error = FileError::NotRegularFile;
        return nullptr;
    }
    return h;
}
} // namespace

bool RawFile::OpenForReading(const std::string& systemPath) {
    Close();
    handle = OpenDiskFile(systemPath, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, lastError);
    openPath = systemPath;
    writing = false;
    return handle != nullptr;
}

bool RawFile::CreateNew(const Folder& folder, const std::string& name, bool /*ownerOnly*/) {
    Close();
    openPath = folder.PathOf(name);
    writing = true;
    if (const std::error_code injected = FileFaults::Check(FileFaults::Operation::Create, openPath)) {
        lastError = injected;
        return false;
    }
    // A new file takes the permissions that the folder hands down to it, as the host's own files do.
    handle = OpenDiskFile(openPath, GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, lastError);
    return handle != nullptr;
}

bool RawFile::CreatePlain(const std::string& systemPath) {
    Close();
    const DWORD attributes = GetFileAttributesA(systemPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        lastError = FileError::NotRegularFile;
        return false;
    }
    // Opened without emptying it: only a file known to have no second name is emptied, since emptying
    // one that has would empty another file too.
    handle = OpenDiskFile(systemPath, GENERIC_WRITE, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, lastError);
    openPath = systemPath;
    writing = true;
    if (handle == nullptr) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(static_cast<HANDLE>(handle), &information) ||
        information.nNumberOfLinks > 1 || !SetEndOfFile(static_cast<HANDLE>(handle))) {
        CloseHandle(static_cast<HANDLE>(handle));
        handle = nullptr;
        lastError = FileError::NotRegularFile;
        return false;
    }
    return true;
}

bool RawFile::IsOpen() const {
    return handle != nullptr;
}

// At most a gigabyte at a time: the count of one call is a DWORD.
long RawFile::ReadSome(char* buffer, size_t count) {
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(count > 0x40000000u ? 0x40000000u : count);
    return ReadFile(static_cast<HANDLE>(handle), buffer, chunk, &got, nullptr) ? static_cast<long>(got) : -1;
}

long RawFile::WriteSome(const char* buffer, size_t count) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(count > 0x40000000u ? 0x40000000u : count);
    return WriteFile(static_cast<HANDLE>(handle), buffer, chunk, &put, nullptr) ? static_cast<long>(put) : -1;
}

std::error_code RawFile::Release() {
    const bool closed = CloseHandle(static_cast<HANDLE>(handle)) != 0;
    handle = nullptr;
    return ErrorUnless(closed);
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

} // namespace quorix
