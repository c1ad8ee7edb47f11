#pragma once

#include "platform/Folder.h"
#include "platform/RawFile.h"

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>

namespace quorix {

// A file that takes the place of another only once it is complete. It is written to a new file of its
// own in the target's folder (created exclusively, so no planted link is ever followed), which gets the
// owner, group and permissions of the file it replaces through its open handle before anything else can
// see it, and is moved over the target by Commit; until then, and whenever anything fails, the target
// stays exactly as it was. The temporary file never outlives the object: one that was not committed is
// removed. Every name is looked up in the folder held open (see Folder).
class ReplacementFile {
public:
    // What failed, in the order a file is written: Keep is the copy of the old file kept for putting it
    // back, which a pair needs before it replaces anything.
    enum class Step { None, Create, Write, Close, Keep, Move };

    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Starts the replacement of the file `name` in the open `folder`, which must outlive this object.
    // Refused, as a Create failure, when the target cannot be replaced by the caller: a folder, a FIFO or a
    // device, or a file the caller may not write.
    bool Create(const Folder& folder, const std::string& name);
    // The same for the file at `systemTarget`, whose folder is opened for it.
    bool Create(const std::string& systemTarget);
    // Appends bytes; after a failure nothing more is written and the result stays false.
    bool Write(const char* bytes, size_t count);
    // Closes the file written so far: true when every write and the close succeeded.
    bool Finish();
    // Finishes and moves the file over the target. True when the target now holds the complete file.
    bool Commit();
    // Removes the file written so far; the target is left alone.
    void Discard();

    // Moves two files of one folder into place together (both are finished first). The first target's
    // present file is kept under a second name (or, where the file system refuses one, as a copy) before
    // anything moves; when that cannot be done, nothing is replaced. When the second file cannot be moved,
    // the first target gets back what it held, so that the two are either both new or both as they were.
    // True when both are in place.
    static bool CommitBoth(ReplacementFile& first, ReplacementFile& second);

    // Removes the temporary files of replacements of `targets` in `folder` that a run which ended before
    // it cleaned up (killed) left behind: those changed before `before` (nanoseconds since the epoch, as
    // FolderEntry gives them). Only a writer holding the folder's lock may call it, since another writer's
    // temporary files are still being written. The number of files removed.
    static size_t RemoveLeftovers(const Folder& folder, std::initializer_list<const char*> targets,
                                  int64_t before);
    // When the temporary file was last changed (just after its creation), in nanoseconds since the epoch.
    int64_t CreatedAt() const { return createdAt; }

    // What the user is told of a step that failed ("cannot create file"), empty for None.
    static const char* FailureText(Step step);

    bool Failed() const { return failedStep != Step::None; }
    Step FailedStep() const { return failedStep; }
    std::error_code Error() const { return error; }

private:
    bool Start(const Folder& into, const std::string& fileName);
    bool Fail(Step step, std::error_code why);

    RawFile file;
    std::unique_ptr<Folder> ownFolder; // the folder opened by Create(systemTarget)
    const Folder* folder = nullptr;
    std::string name;      // the target, in the folder
    std::string temporary; // the file being written, in the folder; empty once moved or removed
    Step failedStep = Step::None;
    std::error_code error;
    int64_t createdAt = 0;
};

} // namespace quorix
