#include "Platform.h"

#include "platform/Parallel.h"
#include "platform/SystemError.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

// Wildcards in FILE arguments are expanded by the runtime, as Windows shells leave that to the programs
// (quorix-import -o out lays\*.LAY).
extern "C" {
int _dowildcard = -1;
}

namespace quorix::cli::platform {
namespace {
std::atomic<int> stopSignal{0};

// Threads that wait on a stream now, each by a handle of its own, so that a stop can cancel their reads.
parallel::Mutex waitingMutex;
std::vector<HANDLE> waitingThreads;

// While it lives, the calling thread's waits on streams end at a stop.
class Waiting {
public:
    Waiting() {
        const HANDLE self = GetCurrentProcess();
        if (DuplicateHandle(self, GetCurrentThread(), self, &thread, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            const parallel::Mutex::Held held(waitingMutex);
            waitingThreads.push_back(thread);
        }
    }
    ~Waiting() {
        if (thread != nullptr) {
            {
                const parallel::Mutex::Held held(waitingMutex);
                waitingThreads.erase(std::find(waitingThreads.begin(), waitingThreads.end(), thread));
            }
            CloseHandle(thread);
        }
    }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

private:
    HANDLE thread = nullptr;
};

// Cancels the reads of the waiting threads until none waits (a thread may be just about to start its
// read), for at most about two seconds. The system has the call from Windows Vista on.
void WakeWaitingThreads() {
    using Cancel = BOOL(WINAPI*)(HANDLE);
    const auto cancel = reinterpret_cast<Cancel>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "CancelSynchronousIo")));
    for (int round = 0; cancel != nullptr && round < 100; ++round) {
        {
            const parallel::Mutex::Held held(waitingMutex);
            if (waitingThreads.empty()) {
                return;
            }
            for (const HANDLE thread : waitingThreads) {
                cancel(thread);
            }
        }
        Sleep(20);
    }
}

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE; // closing the console, logging off, shutting down: the system's default
    }
    stopSignal.store(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
    WakeWaitingThreads();
    return TRUE;
}

// Reads what the handle gives until its end, but no more than `limit` bytes. ERROR_OPERATION_ABORTED at a
// stop.
std::error_code ReadAll(HANDLE handle, uint64_t limit, std::string& bytes) {
    const Waiting waiting;
    char buffer[1 << 16];
    while (StopSignal() == 0) {
        DWORD got = 0;
        if (ReadFile(handle, buffer, sizeof buffer, &got, nullptr)) {
            if (got == 0) {
                return {};
            }
            if (!Append(bytes, buffer, got, limit)) {
                return FileError::InputTooLarge;
            }
            continue;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
            return {}; // the writer closed its end
        }
        if (error != ERROR_OPERATION_ABORTED) {
            return LastSystemError();
        }
    }
    return SystemError(std::errc::interrupted);
}

// The console mode that standard error had before the progress line asked for control sequences.
HANDLE consoleWithModeChanged = nullptr;
DWORD consoleModeBefore = 0;

void RestoreConsoleMode() {
    SetConsoleMode(consoleWithModeChanged, consoleModeBefore);
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The length of the root that a path starts with: "C:\" 3, "C:" 2, "\\server\share\" up to and with its
// separator, "\\?\C:\" likewise, "\" 1, none 0. Separators of either kind.
size_t RootLength(const std::string& path) {
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        size_t end = 2;
        for (int part = 0; part < 2 && end < path.size(); ++part) { // server and share, or "?" and drive
            while (end < path.size() && !IsSeparator(path[end])) {
                ++end;
            }
            if (end < path.size()) {
                ++end;
            }
        }
        return end;
    }
    if (path.size() >= 2 && path[1] == ':') {
        return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
    }
    return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && !IsSeparator(folder.back())) {
        folder += '\\';
    }
    return folder;
}
// The current folder ("." when the system cannot tell).
std::string CurrentFolder() {
    const DWORD size = GetCurrentDirectoryA(0, nullptr);
    std::string folder(size, '\0');
    const DWORD length = size > 0 ? GetCurrentDirectoryA(size, folder.data()) : 0;
    if (length == 0 || length >= size) {
        return ".";
    }
    folder.resize(length);
    return folder;
}

} // namespace

int StopSignal() {
    return stopSignal.load();
}

void PrepareStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        _setmode(fd, _O_BINARY); // fails harmlessly for a stream that is not there
    }
}

Terminal StandardErrorTerminal() {
    const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (console == nullptr || console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) {
        return Terminal::None;
    }
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
        return Terminal::Erasable;
    }
    if (!SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
        return Terminal::Plain;
    }
    consoleWithModeChanged = console;
    consoleModeBefore = mode;
    std::atexit(RestoreConsoleMode);
    return Terminal::Erasable;
}

std::string AbsolutePath(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '/', '\\');
    const size_t root = RootLength(native);
    if (native.empty() || (root >= 2 && native[1] != ':') || root == 3) {
        return native; // absolute: a share, a device path, or a drive with its root
    }
    if (root == 2) { // "D:x": relative to that drive's current folder
        char folder[MAX_PATH + 1] = {};
        const DWORD length = GetFullPathNameA(native.substr(0, 2).c_str(), sizeof folder, folder, nullptr);
        return length > 0 && length < sizeof folder ? WithSeparator(folder) + native.substr(2) : native;
    }
    const std::string current = CurrentFolder();
    if (root == 1) { // "\x": on the current folder's drive or share
        std::string drive = current.substr(0, RootLength(current));
        while (!drive.empty() && IsSeparator(drive.back())) {
            drive.pop_back();
        }
        return drive + native;
    }
    return WithSeparator(current) + native;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || IsSeparator(folder.back()) || (folder.size() == 2 && folder[1] == ':')) {
        return folder + name; // a root, or a drive's current folder ("D:")
    }
    const bool slashes = folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos;
    return folder + (slashes ? "/" : "\\") + name;
}

std::error_code MakeFolders(const std::string& folder, std::vector<std::string>& created) {
    if (folder.empty()) {
        return {};
    }
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? std::error_code()
                                                            : SystemError(std::errc::not_a_directory);
    }
    const DWORD missing = GetLastError();
    if (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND) {
        return LastSystemError();
    }
    size_t end = folder.size();
    while (end > 0 && IsSeparator(folder[end - 1])) {
        --end;
    }
    size_t separator = end;
    while (separator > 0 && !IsSeparator(folder[separator - 1])) {
        --separator;
    }
    if (separator > RootLength(folder)) { // the parent lies below the root
        if (const std::error_code error = MakeFolders(folder.substr(0, separator - 1), created)) {
            return error;
        }
    }
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return LastSystemError();
    }
    created.push_back(folder);
    return {};
}

void RemoveFolders(const std::vector<std::string>& created) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        RemoveDirectoryA(it->c_str());
    }
}

std::error_code ReadInput(const std::string& path, uint64_t limit, bool& streamed, std::string& bytes,
                          int64_t& size) {
    streamed = false;
    HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    if (path.empty()) {
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            return SystemError(std::errc::bad_file_descriptor);
        }
    } else {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return SystemError(std::errc::is_a_directory);
        }
        // A file on a disk is only looked at: the readers read it from its path. Anything else is read
        // from this handle, opened once (a pipe's writer sees one reader).
        handle =
            CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return LastSystemError();
        }
        LARGE_INTEGER length;
        if (GetFileType(handle) == FILE_TYPE_DISK) {
            size = GetFileSizeEx(handle, &length) ? length.QuadPart : -1;
            CloseHandle(handle);
            return {};
        }
    }
    streamed = true;
    const std::error_code error = ReadAll(handle, limit, bytes);
    size = static_cast<int64_t>(bytes.size());
    if (!path.empty()) {
        CloseHandle(handle);
    }
    return error;
}

void CatchStopSignals() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool ReplacedWhole(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return false;
    }
    // A device (CON, NUL) or a pipe is told by the handle it opens as.
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return true;
    }
    const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
    CloseHandle(handle);
    return disk;
}

} // namespace quorix::cli::platform
