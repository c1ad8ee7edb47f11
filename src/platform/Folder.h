#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

namespace quorix {

class RawFile;

// A number that tells this process from the others running now (its process id).
unsigned long ThisProcessNumber();

// What a name in a folder stands for, as the name itself shows it (a link is not followed).
struct FolderEntry {
    enum class Kind { Missing, Regular, Link, Folder, Other };
    Kind kind = Kind::Missing;
    unsigned mode = 0;         // the permission bits, with set-user, set-group and sticky (POSIX)
    long long owner = -1;      // user and group (POSIX); -1 where the system has none
    long long group = -1;
    int64_t changedNanoseconds = 0; // last change of the content, in nanoseconds since the epoch
};

// A folder in which files are replaced, held open for as long as they are: on POSIX systems every name is
// looked up relative to the folder's descriptor, so a folder or a link swapped in along its path after it
// was opened changes nothing. On Windows names are joined to the folder's full path, as the system's file
// calls want them. The Create... and Move/Link/Remove calls go through the file layer's fault plan.
class Folder {
public:
    Folder() = default;
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // Cuts a path in the system's form into its folder (empty for the current folder; a root keeps its
    // separator) and the name after the last separator.
    static void Split(const std::string& systemPath, std::string& folder, std::string& name);
    // Opens the folder `systemPath` (empty: the current folder). Each call below that gives a
    // std::error_code gives none when it succeeded.
    std::error_code Open(const std::string& systemPath);
    void Close();
    // The folder as it was opened, and a name in it, in the system's form: for messages.
    const std::string& Path() const { return path; }
    std::string PathOf(const std::string& name) const;

    // What `name` stands for (a missing name is no error).
    std::error_code Look(const std::string& name, FolderEntry& entry) const;
    // Whether this process may write the file `name`: the error that opening it for writing would give.
    std::error_code MayWrite(const std::string& name) const;
    // The longest name a file of this folder may have, in bytes.
    size_t NameLimit() const;
    // The names of the folder's entries (without "." and "..").
    std::error_code List(std::vector<std::string>& names) const;

    // Puts `from` in the place of `to` (a link at `to` is replaced itself).
    std::error_code Move(const std::string& from, const std::string& to) const;
    // Gives the file `existing` (a link itself, not its target) the second name `name`.
    std::error_code Link(const std::string& existing, const std::string& name) const;
    // Makes `copy` a new file (or link) with the content, permissions and owner of `existing`, for when
    // the file system refuses it a second name. No half copy is left behind.
    std::error_code Copy(const std::string& existing, const std::string& copy) const;
    // Removes the file `name`, quietly.
    void Remove(const std::string& name) const;

    // Gives the open file `file`, made in this folder, the owner, group and permissions of `entry` (a
    // regular file it replaces), as far as this process is allowed to: root keeps all three; another user
    // keeps the permissions and, where it belongs to it, the group. Set-user and set-group bits are kept
    // only with the owner and group. Acts on the open file, never on a name.
    // The error, if any, that left the file without the permissions.
    static std::error_code KeepMetadata(RawFile& file, const FolderEntry& entry);

private:
    friend class RawFile;
    friend class FolderLock;

    std::string path;
    std::string prefix;   // Windows: the folder's path with a separator, put before each name
    int descriptor = -1;  // POSIX: the open folder
};

// One writer at a time in a folder: held while a pair of import files is made and put in place, so that two
// processes, or two threads, writing into the same folder each leave a whole pair. POSIX: an advisory lock
// (flock) on the folder's own descriptor, released by the system when the process ends, however it ends.
// Windows: a named mutex derived from the folder's full path, which leaves no file behind and which the
// system gives up when its holder ends. Writers that do not take the lock are not held back by it. The
// folder must stay open while the lock is held; each writer opens the folder itself.
class FolderLock {
public:
    enum class Outcome {
        Held,        // the lock is held
        TimedOut,    // another writer held it for the whole wait
        Stopped,     // the stop check asked to give up while waiting
        Unavailable, // the system offers no lock for this folder (error says why)
    };

    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the lock of the open `folder`, waiting at most `wait` for another writer to release it, and
    // asking `stop` (when given) every few milliseconds whether to give up.
    Outcome Acquire(const Folder& folder, std::chrono::milliseconds wait, const std::function<bool()>& stop);
    void Release();
    std::error_code Error() const { return error; }

private:
    // Each system uses one of the two; the other is marked so that no compiler calls it unused.
    [[maybe_unused]] const Folder* locked = nullptr; // POSIX: the folder whose descriptor holds the lock
    [[maybe_unused]] void* mutex = nullptr;          // Windows: the named mutex
    bool held = false;
    std::error_code error;
};

} // namespace quorix
