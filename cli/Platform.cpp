#include "Platform.h"

#include "platform/RawFile.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdlib>
#include <fcntl.h>
#include <io.h>

#include "platform/Parallel.h"

// Wildcards in FILE arguments are expanded by the runtime, as Windows shells leave that to the programs
// (quorix-import -o out lays\*.LAY).
extern "C" {
int _dowildcard = -1;
}
#else
#include <cerrno>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorix::cli::platform {
namespace {
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the stop is set from a signal handler");

// Appends `count` bytes of a stream to `bytes`, unless they would make it longer than `limit`. The room
// grows by doubling but never past the limit, so that what is held stays below it.
bool Append(std::string& bytes, const char* chunk, size_t count, uint64_t limit) {
    if (count > limit || bytes.size() > limit - count) {
        return false;
    }
    if (bytes.capacity() - bytes.size() < count) {
        const uint64_t doubled = std::max<uint64_t>(2 * static_cast<uint64_t>(bytes.capacity()), 1 << 16);
        bytes.reserve(static_cast<size_t>(std::max<uint64_t>(std::min(doubled, limit), bytes.size() + count)));
    }
    bytes.append(chunk, count);
    return true;
}
} // namespace

int StopSignal() {
    return stopSignal.load();
}

#ifdef _WIN32

namespace {
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

// Reads what the handle gives until its end, but no more than `limit` bytes. 0, or the error that stopped
// it: ERROR_OPERATION_ABORTED at a stop, kInputTooLarge past the limit.
int ReadAll(HANDLE handle, uint64_t limit, std::string& bytes) {
    const Waiting waiting;
    char buffer[1 << 16];
    while (StopSignal() == 0) {
        DWORD got = 0;
        if (ReadFile(handle, buffer, sizeof buffer, &got, nullptr)) {
            if (got == 0) {
                return 0;
            }
            if (!Append(bytes, buffer, got, limit)) {
                return kInputTooLarge;
            }
            continue;
        }
        const DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
            return 0; // the writer closed its end
        }
        if (error != ERROR_OPERATION_ABORTED) {
            return static_cast<int>(error);
        }
    }
    return ERROR_OPERATION_ABORTED;
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
} // namespace

const int kNoSuchFile = ERROR_FILE_NOT_FOUND;

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

int MakeFolders(const std::string& folder, std::vector<std::string>& created) {
    if (folder.empty()) {
        return 0;
    }
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ERROR_DIRECTORY;
    }
    const DWORD missing = GetLastError();
    if (missing != ERROR_FILE_NOT_FOUND && missing != ERROR_PATH_NOT_FOUND) {
        return static_cast<int>(missing);
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
        if (const int error = MakeFolders(folder.substr(0, separator - 1), created)) {
            return error;
        }
    }
    if (!CreateDirectoryA(folder.c_str(), nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) {
            return static_cast<int>(error);
        }
    }
    created.push_back(folder);
    return 0;
}

void RemoveFolders(const std::vector<std::string>& created) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        RemoveDirectoryA(it->c_str());
    }
}

int ReadInput(const std::string& path, uint64_t limit, bool& streamed, std::string& bytes, int64_t& size) {
    streamed = false;
    HANDLE handle = GetStdHandle(STD_INPUT_HANDLE);
    if (path.empty()) {
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
            return ERROR_INVALID_HANDLE;
        }
    } else {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return kIsAFolder;
        }
        handle =
            CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return static_cast<int>(GetLastError());
        }
        LARGE_INTEGER length;
        if (GetFileType(handle) == FILE_TYPE_DISK) {
            size = GetFileSizeEx(handle, &length) ? length.QuadPart : -1;
            CloseHandle(handle);
            return 0; // the readers read it from its path
        }
    }
    streamed = true;
    const int error = ReadAll(handle, limit, bytes);
    size = static_cast<int64_t>(bytes.size());
    if (!path.empty()) {
        CloseHandle(handle);
    }
    return error;
}

std::string ErrorText(int error) {
    static const struct {
        DWORD error;
        const char* text;
    } kWords[] = {
        {ERROR_FILE_NOT_FOUND, "No such file or directory"},
        {ERROR_PATH_NOT_FOUND, "No such file or directory"},
        {ERROR_INVALID_DRIVE, "No such file or directory"},
        {ERROR_BAD_NETPATH, "No such file or directory"},
        {ERROR_BAD_NET_NAME, "No such file or directory"},
        {ERROR_ACCESS_DENIED, "Permission denied"},
        {ERROR_WRITE_PROTECT, "Read-only file system"},
        {ERROR_DISK_FULL, "No space left on device"},
        {ERROR_HANDLE_DISK_FULL, "No space left on device"},
        {ERROR_INVALID_HANDLE, "Bad file descriptor"},
        {ERROR_FILE_EXISTS, "File exists"},
        {ERROR_ALREADY_EXISTS, "File exists"},
        {ERROR_DIRECTORY, "Not a directory"},
        {static_cast<DWORD>(kIsAFolder), "Is a directory"},
        {ERROR_DIR_NOT_EMPTY, "Directory not empty"},
        {ERROR_NOT_ENOUGH_MEMORY, "Cannot allocate memory"},
        {ERROR_OUTOFMEMORY, "Cannot allocate memory"},
        {ERROR_FILENAME_EXCED_RANGE, "File name too long"},
        {ERROR_BROKEN_PIPE, "Broken pipe"},
        {ERROR_NO_DATA, "Broken pipe"},
        {ERROR_NOT_SAME_DEVICE, "Invalid cross-device link"},
        {ERROR_OPERATION_ABORTED, "Interrupted system call"},
    };
    for (const auto& word : kWords) {
        if (static_cast<int>(word.error) == error) {
            return word.text;
        }
    }
    return FileErrorText(error);
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

int WriteThrough(const std::string& path, const std::string& bytes, bool& opened) {
    opened = false;
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return static_cast<int>(GetLastError());
    }
    opened = true;
    int error = 0;
    for (size_t done = 0; done < bytes.size() && error == 0;) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
        DWORD put = 0;
        if (WriteFile(handle, bytes.data() + done, chunk, &put, nullptr) && put > 0) {
            done += put;
        } else {
            error = static_cast<int>(GetLastError());
        }
    }
    if (!CloseHandle(handle) && error == 0) {
        error = static_cast<int>(GetLastError());
    }
    return error;
}

#else

namespace {
// Threads that wait on a stream now. A stop signal reaches one thread of the process; the handler passes
// it on to each of these, once, so that their waits end too (no restart: the waiting call returns). The
// handler reads the slots without a lock.
struct WaitingSlot {
    std::atomic<int> state{0}; // 0 free, 1 being filled, 2 holding a waiting thread
    pthread_t thread{};
};
WaitingSlot waitingSlots[512];
std::atomic<bool> stopPassedOn{false};

void OnStopSignal(int signal) {
    stopSignal.store(signal);
    if (!stopPassedOn.exchange(true)) {
        for (WaitingSlot& slot : waitingSlots) {
            if (slot.state.load() == 2 && pthread_equal(slot.thread, pthread_self()) == 0) {
                pthread_kill(slot.thread, signal);
            }
        }
    }
}

// While it lives, a stop signal ends the calling thread's waits on streams. A stop that came before
// shows in StopSignal, which a wait checks after this is made.
class Waiting {
public:
    Waiting() {
        for (WaitingSlot& candidate : waitingSlots) {
            int free = 0;
            if (candidate.state.compare_exchange_strong(free, 1)) {
                candidate.thread = pthread_self();
                candidate.state.store(2);
                slot = &candidate;
                return;
            }
        }
    }
    ~Waiting() {
        if (slot != nullptr) {
            slot->state.store(0);
        }
    }
    Waiting(const Waiting&) = delete;
    Waiting& operator=(const Waiting&) = delete;

private:
    WaitingSlot* slot = nullptr;
};

// Reads what the descriptor gives until its end, as cat does, but no more than `limit` bytes. 0, or the
// error that stopped it: EINTR when a stop signal came (looked at before every read, so that a stream that
// never pauses is stopped too), kInputTooLarge past the limit.
int ReadAll(int fd, uint64_t limit, std::string& bytes) {
    char buffer[1 << 16];
    for (;;) {
        if (StopSignal() != 0) {
            return EINTR;
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            if (!Append(bytes, buffer, static_cast<size_t>(got), limit)) {
                return kInputTooLarge;
            }
        } else if (got == 0) {
            return 0;
        } else if (errno != EINTR) {
            return errno;
        }
    }
}
} // namespace

const int kNoSuchFile = ENOENT;

void PrepareStandardStreams() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
            if (opened >= 0 && opened != fd) {
                dup2(opened, fd);
                close(opened);
            }
        }
    }
}

Terminal StandardErrorTerminal() {
    return isatty(STDERR_FILENO) == 1 ? Terminal::Erasable : Terminal::None;
}

std::string CurrentFolder() {
    std::string folder(256, '\0');
    while (getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) {
            return ".";
        }
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    return folder;
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path[0] == '/') {
        return path;
    }
    std::string folder = CurrentFolder();
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder + path;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

int MakeFolders(const std::string& folder, std::vector<std::string>& created) {
    struct stat info {};
    if (folder.empty() || ::stat(folder.c_str(), &info) == 0) {
        return folder.empty() || S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    }
    if (errno != ENOENT) {
        return errno;
    }
    const size_t slash = folder.find_last_of('/', folder.find_last_not_of('/'));
    if (slash != std::string::npos && slash > 0) {
        if (const int error = MakeFolders(folder.substr(0, slash), created)) {
            return error;
        }
    }
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        return errno;
    }
    created.push_back(folder);
    return 0;
}

void RemoveFolders(const std::vector<std::string>& created) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        ::rmdir(it->c_str());
    }
}

int ReadInput(const std::string& path, uint64_t limit, bool& streamed, std::string& bytes, int64_t& size) {
    streamed = false;
    const Waiting waiting; // opening a named pipe waits for its writer; reading waits for the bytes
    if (path.empty()) {
        streamed = true;
        const int error = ReadAll(STDIN_FILENO, limit, bytes);
        size = static_cast<int64_t>(bytes.size());
        return error;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno;
    }
    if (S_ISREG(info.st_mode)) {
        size = static_cast<int64_t>(info.st_size);
        return 0; // the readers read it from its path
    }
    if (S_ISDIR(info.st_mode)) {
        return EISDIR;
    }
    streamed = true;
    const int fd = StopSignal() != 0 ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return StopSignal() != 0 ? EINTR : errno;
    }
    const int error = ReadAll(fd, limit, bytes);
    size = static_cast<int64_t>(bytes.size());
    ::close(fd);
    return error;
}

std::string ErrorText(int error) {
    return FileErrorText(error);
}

bool ReplacedWhole(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode);
}

int WriteThrough(const std::string& path, const std::string& bytes, bool& opened) {
    opened = false;
    // No O_NONBLOCK: a pipe's reader is waited for, as cat waits; a stop signal ends the wait.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    opened = true;
    int error = 0;
    for (size_t done = 0; done < bytes.size() && error == 0;) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<size_t>(put);
        } else if (put == 0 || errno != EINTR || StopSignal() != 0) {
            error = put == 0 ? EIO : errno;
        }
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

void CatchStopSignals() {
    // A write past the file-size limit then fails with EFBIG, which is reported, instead of ending the
    // process halfway through a file.
    signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a wait on a stream returns, and the converter looks at the signal
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

#endif
} // namespace quorix::cli::platform
