#include "files/QuorFile.h"

#include "log/Log.h"
#include "platform/PathRules.h"

namespace quorix {

QuorFile::~QuorFile() {
    Close();
}

bool QuorFile::Load(const std::string& path) {
    return Open(path) && ParseAndResolve();
}

bool QuorFile::Load(const std::string& path, std::string_view bytes) {
    if (!Prepare(path)) {
        return false;
    }
    stream.OpenMemory(bytes, IsBinary() ? detail::FileStream::Mode::Binary : detail::FileStream::Mode::Text);
    fileName = path;
    return ParseAndResolve();
}

bool QuorFile::ParseAndResolve() {
    stoppedAt = Step::Parse;
    const bool parsed = Parse();
    Close();
    if (!parsed) {
        return false;
    }
    stoppedAt = Step::Resolve;
    if (!Resolve()) {
        return false;
    }
    stoppedAt = Step::Accepted;
    return true;
}

bool QuorFile::Prepare(const std::string& path) {
    stoppedAt = Step::Open;
    openError.clear();
    SetFailureText({});
    if (path.empty()) {
        openError = SystemError(std::errc::no_such_file_or_directory); // no file has the empty name
        SetFailureText(
            "No Design File Name provided!\n(please specify design file name as program argument)");
        return false;
    }
    Log::StartOfFile();
    stream.ClearState();
    ResetReadState();
    return true;
}

bool QuorFile::Open(const std::string& path) {
    if (!Prepare(path)) {
        return false;
    }
    if (stream.Open(path, IsBinary() ? detail::FileStream::Mode::Binary : detail::FileStream::Mode::Text)) {
        fileName = path;
        return true;
    }
    stream.SetFail();
    openError = stream.LastError();
    SetFailureText("Cannot read from specified file: \"" + path + "\"");
    return false;
}

void QuorFile::Close() {
    if (stream.IsOpen()) {
        stream.Close();
    }
}

bool QuorFile::Resolve() {
    return true;
}

std::string QuorFile::GetBaseName() const {
    return paths::BaseName(fileName);
}

} // namespace quorix
