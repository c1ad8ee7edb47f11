#include "log/Log.h"

#include "platform/PathMapping.h"
#include "runtime/TextModeWriter.h"

#include <cstdio>

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

void Log::StartOfFile() {
    if (!untouched) {
        Instance()->ResetLineNumber();
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
    if (withFile) {
        hasFile = file.CreatePlain(paths::ToSystemPath(kPath));
    }
    WriteLine(kHeader);
}

Log::~Log() {
    file.Close();
}

void Log::ResetLineNumber() {
    lineNumber.store(0);
}

void Log::Write(const std::string& text) {
    if (!hasFile) {
        return;
    }
    if (atLineStart) {
        char number[12];
        std::snprintf(number, sizeof number, "%4d]", static_cast<int>(lineNumber.load()));
        std::string prefix = "\n[";
        prefix += number;
        for (int32_t i = 0; i < indentDepth; ++i) {
            prefix += "    ";
        }
        Store(prefix);
        atLineStart = false;
    }
    Store(text);
}

void Log::Store(const std::string& text) {
    // Written at once, with nothing kept back: the log is read while the process still runs. What cannot
    // be written is lost, as with the host runtime's own log.
    std::string stored(2 * text.size(), '\0');
    stored.resize(static_cast<size_t>(
        runtime::TextModeWriter::StoreText(&stored[0], text.data(), text.size()) - &stored[0]));
    file.Write(stored.data(), stored.size());
}

void Log::WriteLine(const std::string& text) {
    Write(text);
    atLineStart = true;
}

} // namespace quorix
