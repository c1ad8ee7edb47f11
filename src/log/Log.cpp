#include "log/Log.h"

#include <cstdio>

namespace {
std::atomic<bool> fileDisabled{false};
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
        hasFile = file.Create(kPath);
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
        file.Write(prefix);
        atLineStart = false;
    }
    file.Write(text);
    file.Flush();
}

void Log::WriteLine(const std::string& text) {
    Write(text);
    atLineStart = true;
}
