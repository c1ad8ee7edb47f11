#include "support/Process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <stdexcept>

namespace {
constexpr int kNobody = 65534;

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

[[noreturn]] void StartChild(const std::vector<std::string>& argv, const ProcessOptions& options, int inRead,
                             int outWrite, int errWrite) {
    dup2(inRead, 0);
    switch (options.output) {
    case ProcessOptions::Output::Collected:
        dup2(outWrite, 1);
        break;
    case ProcessOptions::Output::Full: {
        const int full = open("/dev/full", O_WRONLY);
        dup2(full, 1);
        break;
    }
    case ProcessOptions::Output::Closed:
        close(1);
        break;
    }
    dup2(errWrite, 2);
    for (int fd = 3; fd < 256; ++fd) {
        close(fd);
    }
    if (!options.workingDir.empty() && chdir(options.workingDir.c_str()) != 0) {
        _exit(127);
    }
    for (const auto& [resource, value] : options.limits) {
        const rlimit limit{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
        if (setrlimit(resource, &limit) != 0) {
            _exit(125);
        }
    }
    if (options.unprivileged && geteuid() == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            _exit(126);
        }
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}
} // namespace

int UnprivilegedUserId() {
    return geteuid() == 0 ? kNobody : static_cast<int>(geteuid());
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workingDir) {
    ProcessOptions options;
    options.workingDir = workingDir;
    options.input = std::string();
    return RunProcess(argv, options);
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    int inPipe[2];
    int outPipe[2];
    int errPipe[2];
    if (pipe(inPipe) != 0 || pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    if (options.errorOnTerminal) {
        // The terminal's controlling side is read as the pipe would be; the program writes to the other.
        close(errPipe[0]);
        close(errPipe[1]);
        errPipe[0] = posix_openpt(O_RDWR | O_NOCTTY);
        if (errPipe[0] < 0 || grantpt(errPipe[0]) != 0 || unlockpt(errPipe[0]) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        errPipe[1] = open(ptsname(errPipe[0]), O_RDWR | O_NOCTTY);
        termios raw{};
        tcgetattr(errPipe[1], &raw);
        cfmakeraw(&raw);
        tcsetattr(errPipe[1], TCSANOW, &raw);
    }
    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        StartChild(argv, options, inPipe[0], outPipe[1], errPipe[1]);
    }
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    pid_t feeder = -1;
    if (options.endlessInput) {
        feeder = fork();
        if (feeder == 0) {
            const std::string lines(1 << 16, 'y');
            while (write(inPipe[1], lines.data(), lines.size()) > 0) {
            }
            _exit(0);
        }
        close(inPipe[1]);
        inPipe[1] = -1;
    } else if (options.input) {
        // Small inputs only: the pipe takes them without a reader.
        signal(SIGPIPE, SIG_IGN);
        if (!options.input->empty() &&
            write(inPipe[1], options.input->data(), options.input->size()) < 0) {
            throw std::runtime_error("cannot feed the program's standard input");
        }
        close(inPipe[1]);
        inPipe[1] = -1;
    }
    ProcessResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    char buffer[4096];
    const double deadline = Now() + options.timeoutSeconds;
    bool interrupted = false;
    double interruptedAt = 0;
    while (open > 0) {
        if (Now() > deadline) {
            kill(child, SIGKILL);
            result.timedOut = true;
            break;
        }
        if (options.interruptWhen && !interrupted && options.interruptWhen()) {
            kill(child, SIGINT);
            interrupted = true;
            interruptedAt = Now();
        }
        if (poll(fds, 2, 10) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(got));
            }
        }
    }
    for (const pollfd& f : fds) {
        if (f.fd >= 0) {
            close(f.fd);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (interrupted) {
        result.secondsAfterInterrupt = Now() - interruptedAt;
    }
    if (inPipe[1] >= 0) {
        close(inPipe[1]);
    }
    if (feeder > 0) {
        kill(feeder, SIGKILL);
        waitpid(feeder, nullptr, 0);
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}
