#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Runs a program as a separate process and collects what it printed and its exit status.
struct ProcessResult {
    int exitCode = -1; // -1 when the process did not exit normally
    int signal = 0;    // the signal that ended it, if one did
    bool timedOut = false;
    double secondsAfterInterrupt = -1; // from the SIGINT of interruptWhen to the end, when it was sent
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::string workingDir;
    // Written to the program's standard input, which is then closed. Without it, standard input is a
    // pipe that stays open and silent: a program that reads it waits, and the time limit shows it.
    std::optional<std::string> input;
    // Standard input is a pipe that never ends ("y" lines, as from yes), instead of `input`.
    bool endlessInput = false;
    // Resource limits set in the program (setrlimit's resource and its soft and hard value).
    std::vector<std::pair<int, unsigned long long>> limits;
    // Where standard output goes: a pipe that is collected, the device that is always full, or nowhere
    // (closed).
    enum class Output { Collected, Full, Closed } output = Output::Collected;
    // The program is killed after this long, and the result says so.
    int timeoutSeconds = 30;
    // When the tests run as root, the program runs as the unprivileged user "nobody", so that file
    // permissions mean to it what they mean to users.
    bool unprivileged = false;
    // Standard error is a terminal (a pseudo-terminal without any translation of line ends).
    bool errorOnTerminal = false;
    // Asked every few milliseconds while the program runs; the first time it says yes, the program is
    // sent SIGINT.
    std::function<bool()> interruptWhen;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options);
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& workingDir = "");

// The user and group ids that an unprivileged program runs as (those of "nobody" when root runs the tests).
int UnprivilegedUserId();
