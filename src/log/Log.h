#pragma once

#include "platform/RawFile.h"

#include <string>

namespace quorix {

// The process-wide diagnostic log ".\Log.txt", kept for file format investigations. It is created by the
// first file open of the process, stays open until the process ends, and prefixes each line with its line
// number in brackets. A Log.txt that is a link, a FIFO or a device is never opened: the log then keeps no
// file, as when the file cannot be created.
class Log {
public:
    static constexpr const char* kPath = ".\\Log.txt";
    static constexpr const char* kHeader =
        "Log file for CAD data parser demo [file format investigation support] follows: ";

    // The process-wide log, created (with its file) on the first call.
    static Log* Instance();

    // Makes a log created afterwards keep no file (for programs that must not leave Log.txt behind). Has no
    // effect once the log exists.
    static void DisableFile();

    // While an object of this type lives, reads on its thread leave the log alone: they neither create it
    // nor restart its line numbers. For callers that must not leave Log.txt behind although other callers
    // in the same process keep the log as the host's module does.
    class Untouched {
    public:
        Untouched();
        ~Untouched();
        Untouched(const Untouched&) = delete;
        Untouched& operator=(const Untouched&) = delete;
        // Whether the calling thread holds one: work it hands to other threads holds one there too.
        static bool Held();

    private:
        bool before;
    };

    // A file starts to be read: creates the log on the process's first read, unless the calling thread
    // holds an Untouched.
    static void StartOfFile();

    virtual ~Log() = default;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

private:
    explicit Log(bool withFile);

    RawFile file;
};

} // namespace quorix
