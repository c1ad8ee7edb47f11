#pragma once

#include "platform/RawFile.h"

#include <cstddef>
#include <string>

namespace quorix {

// A file that takes the place of another only once it is complete. It is written to a new file of its
// own in the target's folder (created exclusively, so no planted link is ever followed) and moved over the
// target by Commit; until then, and whenever anything fails, the target stays exactly as it was. The
// temporary file never outlives the object: one that was not committed is removed.
class ReplacementFile {
public:
    // What failed, in the order a file is written.
    enum class Step { None, Create, Write, Close, Move };

    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Starts the replacement of `systemTarget`. Refused, as a Create failure, when the target cannot be
    // replaced by the caller: a folder, a FIFO or a device, or a file the caller may not write.
    bool Create(const std::string& systemTarget);
    // Appends bytes; after a failure nothing more is written and the result stays false.
    bool Write(const char* bytes, size_t count);
    // Closes the file written so far: true when every write and the close succeeded.
    bool Finish();
    // Finishes and moves the file over the target. True when the target now holds the complete file.
    bool Commit();
    // Removes the file written so far; the target is left alone.
    void Discard();

    // Moves two files into place together (both are finished first): when the second cannot be moved,
    // the first target gets back what it held before, so that the two are either both new or both as
    // they were. True when both are in place.
    static bool CommitBoth(ReplacementFile& first, ReplacementFile& second);

    bool Failed() const { return failedStep != Step::None; }
    Step FailedStep() const { return failedStep; }
    int Error() const { return error; }
    const std::string& Target() const { return target; }

private:
    bool Fail(Step step, int errorNumber);

    RawFile file;
    std::string target;
    std::string temporary; // empty once moved or removed
    Step failedStep = Step::None;
    int error = 0;
    unsigned keptMode = 0; // the permissions of the file replaced (POSIX), 0 for the default
};

} // namespace quorix
