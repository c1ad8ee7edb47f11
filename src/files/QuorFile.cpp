#include "files/QuorFile.h"

#include "log/Log.h"

QuorFile::~QuorFile() {
    Close();
}

bool QuorFile::Load(const std::string& path) {
    if (!Open(path)) {
        return false;
    }
    const bool parsed = Parse();
    Close();
    if (!parsed) {
        return false;
    }
    return Resolve();
}

bool QuorFile::Open(const std::string& path) {
    if (path.empty()) {
        SetFailureText(
            "No Design File Name provided!\n(please specify design file name as program argument)");
        return false;
    }
    Log::Instance()->ResetLineNumber();
    stream.ClearState();
    ResetReadState();
    if (stream.Open(path, IsBinary() ? FileStream::Mode::Binary : FileStream::Mode::Text)) {
        fileName = path;
        return true;
    }
    stream.SetFail();
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
    return BaseNameOf(fileName);
}

std::string QuorFile::BaseNameOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
