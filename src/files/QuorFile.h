#pragma once

#include "files/FileStream.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quorix {

// Abstract base of every input file: owns the input stream and runs the one load sequence of all readers:
// open, parse, close, and resolve when the parse succeeded.
class QuorFile {
public:
    // The steps of a load, in their order; a load that refuses the file stops at one of the first three.
    enum class Step { Open, Parse, Resolve, Accepted };

    QuorFile() = default;
    virtual ~QuorFile();
    QuorFile(const QuorFile&) = delete;
    QuorFile& operator=(const QuorFile&) = delete;

    // Opens `path` (the module's backslash form), parses, closes, then resolves when the parse succeeded.
    bool Load(const std::string& path);
    // The same with `bytes` read as the content of the file at `path` (which still names the file, and
    // the folder that other files are looked up from).
    bool Load(const std::string& path, std::string_view bytes);
    bool Open(const std::string& path);
    void Close();

    // The part of the path after its last backslash (the whole path when it holds none).
    std::string GetBaseName() const;
    const std::string& GetFileName() const { return fileName; }

    // Where the last load stopped, and why a step refused the file: its message (empty when nothing was
    // refused), the system's error when the file could not be opened, and the file offset that
    // the refusal concerns, or -1 when none does.
    Step GetStoppedAt() const { return stoppedAt; }
    const std::string& GetFailureText() const { return failureText; }
    std::error_code GetOpenError() const { return openError; }
    int64_t GetFailureOffset() const { return failureOffset; }

    virtual bool Parse() = 0;
    virtual bool Resolve();
    virtual bool IsBinary() const = 0;

protected:
    // Called by Open before the file is opened, so that a reader can reset state kept across reads.
    virtual void ResetReadState() {}
    void SetFailureText(const std::string& text, int64_t offset = -1) {
        failureText = text;
        failureOffset = offset;
    }

    std::string fileName;
    detail::FileStream stream;

private:
    // Checks the path and resets what a load keeps; false for an empty path.
    bool Prepare(const std::string& path);
    // Parse, close and resolve, after the stream was opened.
    bool ParseAndResolve();

    std::string failureText;
    Step stoppedAt = Step::Open;
    std::error_code openError;
    int64_t failureOffset = -1;
};

} // namespace quorix
