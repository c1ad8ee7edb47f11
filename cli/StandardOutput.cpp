#include "StandardOutput.h"

#include "Converter.h"
#include "platform/SystemError.h"

#include <atomic>
#include <cerrno>

namespace quorix::cli {

namespace {
// The error number of the first failed write to standard output; -1 while none failed.
std::atomic<int> firstError{-1};

void NoteFailure(int error) {
    int none = -1;
    firstError.compare_exchange_strong(none, error);
}
} // namespace

void WriteOutput(std::FILE* to, const char* bytes, size_t size) {
    errno = 0;
    if (std::fwrite(bytes, 1, size, to) != size && to == stdout) {
        NoteFailure(errno);
    }
}

void FlushOutput() {
    errno = 0;
    if (std::fflush(stdout) != 0) {
        NoteFailure(errno);
    }
}

int FinishStandardOutput(int exitCode) {
    errno = 0;
    if (std::fflush(stdout) != 0) {
        NoteFailure(errno);
    } else if (std::ferror(stdout) != 0) {
        NoteFailure(0);
    }
    const int error = firstError.load();
    if (error < 0) {
        return exitCode;
    }
    // The C library's errno, on Windows too.
    const std::string reason = error != 0 ? ": " + ErrorText({error, std::generic_category()}) : "";
    std::fprintf(stderr, "quorix-import: write error on standard output%s\n", reason.c_str());
    return MoreSeriousExitCode(exitCode, kExitIoError);
}

} // namespace quorix::cli
