#include "log/Log.h"

#include "platform/PathMapping.h"

#include <atomic>

namespace quorix {

namespace {
std::atomic<bool> fileDisabled{false};
thread_local bool untouched = false;
} // namespace

Log::Untouched::Untouched() : before(untouched) {
    untouched = true;
}

Log::Untouched::~Untouched() {
    untouched = before;
}

bool Log::Untouched::Held() {
    return untouched;
}

void Log::StartOfFile() {
    if (!untouched) {
        Instance();
    }
}

Log* Log::Instance() {
    // Created once, never destroyed: the file is closed when the process ends.
    static Log* const instance = new Log(!fileDisabled.load());
    return instance;
}

void Log::DisableFile() {
    fileDisabled.store(true);
}

Log::Log(bool withFile) {
    // The header is the log's only line, numbered 0, in its stored form: the line feed before it as CR LF.
    // Written at once, with nothing kept back: the log is read while the process still runs.
    const std::string line = std::string("\r\n[   0]") + kHeader;
    if (withFile && file.CreatePlain(paths::ToSystemPath(kPath))) {
        file.Write(line.data(), line.size());
    }
}

} // namespace quorix
