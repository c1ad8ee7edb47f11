#pragma once

#include "files/FileStream.h"

#include <string>

// Abstract base of every input file: owns the input stream and runs the one load sequence of all readers:
// open, parse, close, and resolve when the parse succeeded.
class QuorFile {
public:
    QuorFile() = default;
    virtual ~QuorFile();
    QuorFile(const QuorFile&) = delete;
    QuorFile& operator=(const QuorFile&) = delete;

    // Opens `path` (the module's backslash form), parses, closes, then resolves when the parse succeeded.
    bool Load(const std::string& path);
    bool Open(const std::string& path);
    void Close();

    // The part of the path after its last backslash (the whole path when it holds none).
    std::string GetBaseName() const;
    const std::string& GetFileName() const { return fileName; }

    // Why the last open or parse refused the file, for diagnostics; empty when nothing was refused.
    const std::string& GetFailureText() const { return failureText; }

    virtual bool Parse() = 0;
    virtual bool Resolve();
    virtual bool IsBinary() const = 0;

    // The part of `path` after its last backslash, or all of it.
    static std::string BaseNameOf(const std::string& path);

protected:
    // Called by Open before the file is opened, so that a reader can reset state kept across reads.
    virtual void ResetReadState() {}
    void SetFailureText(const std::string& text) { failureText = text; }

    std::string fileName;
    FileStream stream;

private:
    std::string failureText;
};
