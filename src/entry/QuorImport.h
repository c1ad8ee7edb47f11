#pragma once

#include "entry/ImportPaths.h"

#include <string>

// What one import did, for callers that need more than the exported function's true or false.
struct ImportOutcome {
    enum class Kind { None, LayY, Marker };

    bool loaded = false;            // a reader accepted the file; the exported function's result
    Kind kind = Kind::None;         // which reader accepted it
    bool definitionWritten = false; // the definition file could be opened
    bool positionWritten = false;   // the position file could be opened
    std::string orderName;          // the whole order name, before its cut to 20 characters
};

// One import call: the lay reader first, the marker reader only when the lay reader refuses the file;
// the accepted reader writes both import files and the order name is handed back; a file that neither
// accepts is reported to the host's error log.
class QuorImport {
public:
    static constexpr size_t kOrderNameLength = 20; // the caller's buffer holds 21 bytes

    // `callerPath` is the path as the caller passed it; `orderName` receives the name when the result is
    // loaded (it may be null). The lay position writer's error passes through to the caller.
    static ImportOutcome Run(const std::string& callerPath, char* orderName, const ImportPaths& paths);

    // Copies at most 20 characters of `name` and a NUL into `buffer`, and sets buffer[20] to NUL; bytes
    // between the terminator and index 20 are left as they were.
    static void HandBackName(const std::string& name, char* buffer);

private:
    static void ReportNotInQuorixFormat(const std::string& callerPath, const std::string& modulePath);
};
