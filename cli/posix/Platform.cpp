#include "Platform.h"

#include "platform/RawFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorix::cli::platform {
namespace {
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the stop is set from a signal handler");

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

std::error_code Stopped() {
    return SystemError(std::errc::interrupted);
}

// Reads what the descriptor gives until its end, as cat does, but no more than `limit` bytes. Stopped()
// when a stop signal came (looked at before every read, so that a stream that never pauses is stopped
// too).
std::error_code ReadAll(int fd, uint64_t limit, std::string& bytes) {
    char buffer[1 << 16];
    for (;;) {
        if (StopSignal() != 0) {
            return Stopped();
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            if (!Append(bytes, buffer, static_cast<size_t>(got), limit)) {
                return FileError::InputTooLarge;
            }
        } else if (got == 0) {
            return {};
        } else if (errno != EINTR) {
            return LastSystemError();
        }
    }
}
// The current folder ("." when the system cannot tell).
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

} // namespace

int StopSignal() {
    return stopSignal.load();
}

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

std::string AbsolutePath(const std::string& path) {
    return path.empty() || path[0] == '/' ? path : JoinPath(CurrentFolder(), path);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::error_code MakeFolders(const std::string& folder, std::vector<std::string>& created) {
    struct stat info {};
    if (folder.empty() || ::stat(folder.c_str(), &info) == 0) {
        return folder.empty() || S_ISDIR(info.st_mode) ? std::error_code() : SystemError(std::errc::not_a_directory);
    }
    if (errno != ENOENT) {
        return LastSystemError();
    }
    const size_t slash = folder.find_last_of('/', folder.find_last_not_of('/'));
    if (slash != std::string::npos && slash > 0) {
        if (const std::error_code error = MakeFolders(folder.substr(0, slash), created)) {
            return error;
        }
    }
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        return LastSystemError();
    }
    created.push_back(folder);
    return {};
}

void RemoveFolders(const std::vector<std::string>& created) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
        ::rmdir(it->c_str());
    }
}

std::error_code ReadInput(const std::string& path, uint64_t limit, bool& streamed, std::string& bytes,
                          int64_t& size) {
    streamed = false;
    const Waiting waiting; // opening a named pipe waits for its writer; reading waits for the bytes
    int fd = STDIN_FILENO;
    if (!path.empty()) {
        RawFile file;
        if (file.OpenForReading(path)) {
            size = file.Size();
            return {}; // the readers read it from its path
        }
        if (file.LastError() != FileError::NotRegularFile) {
            return file.LastError();
        }
        fd = StopSignal() != 0 ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return StopSignal() != 0 ? Stopped() : LastSystemError();
        }
    }
    streamed = true;
    const std::error_code error = ReadAll(fd, limit, bytes);
    size = static_cast<int64_t>(bytes.size());
    if (fd != STDIN_FILENO) {
        ::close(fd);
    }
    return error;
}

bool ReplacedWhole(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode);
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

} // namespace quorix::cli::platform
