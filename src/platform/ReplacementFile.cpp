#include "platform/ReplacementFile.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace quorix {

namespace {
// Names tried for one temporary file before giving up: each taken name is a file of another writer.
constexpr int kNameAttempts = 64;
constexpr const char* kTemporaryEnd = ".tmp";

// A name in the target's folder that no other writer picks: hidden, after the target, with the process
// number, a counter of this process and bits of the clock. It ends in ".tmp" so that a file left by a
// crash says what it is. A target name so long that the whole would pass the folder's limit is cut.
std::string TemporaryName(const std::string& target, size_t limit) {
    static std::atomic<unsigned long> counter{0};
    const auto clock =
        static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count() & 0xFFFFFF);
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".%lx-%lx-%lx%s", ThisProcessNumber(), counter.fetch_add(1), clock,
                  kTemporaryEnd);
    const std::string end = suffix;
    const size_t room = limit > end.size() + 2 ? limit - end.size() - 1 : 1;
    return "." + target.substr(0, room) + end;
}

// Whether `candidate` is a temporary name that TemporaryName made for `target` (with the name whole).
bool IsTemporaryOf(const std::string& candidate, const std::string& target) {
    const std::string start = "." + target + ".";
    const std::string end = kTemporaryEnd;
    if (candidate.size() <= start.size() + end.size() || candidate.compare(0, start.size(), start) != 0 ||
        candidate.compare(candidate.size() - end.size(), end.size(), end) != 0) {
        return false;
    }
    int dashes = 0;
    for (size_t i = start.size(); i < candidate.size() - end.size(); ++i) {
        const char c = candidate[i];
        if (c == '-') {
            ++dashes;
        } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return dashes == 2;
}

// Why the file `entry` may not be replaced by this process: the error that opening it for writing would
// give.
std::error_code ReplaceableError(const Folder& folder, const std::string& name, const FolderEntry& entry) {
    switch (entry.kind) {
    case FolderEntry::Kind::Missing: // a missing folder shows when the temporary file is created
    case FolderEntry::Kind::Link:    // a link is replaced itself; its target is never touched
        return {};
    case FolderEntry::Kind::Folder:
        return SystemError(std::errc::is_a_directory);
    case FolderEntry::Kind::Other:
        return FileError::NotRegularFile;
    case FolderEntry::Kind::Regular:
        break;
    }
    // A file that the caller could not open for writing is not replaced behind its back either.
    return folder.MayWrite(name);
}
} // namespace

ReplacementFile::~ReplacementFile() {
    Discard();
}

const char* ReplacementFile::FailureText(Step step) {
    switch (step) {
    case Step::None:
        break;
    case Step::Create:
        return "cannot create file";
    case Step::Write:
        return "cannot write file";
    case Step::Close:
        return "cannot close file";
    case Step::Keep:
        return "cannot keep the present file for putting it back, so nothing was replaced";
    case Step::Move:
        return "cannot put the new file in place";
    }
    return "";
}

bool ReplacementFile::Fail(Step step, std::error_code why) {
    if (failedStep == Step::None) {
        failedStep = step;
        error = why;
    }
    return false;
}

bool ReplacementFile::Create(const std::string& systemTarget) {
    Discard();
    std::string folderPath;
    std::string fileName;
    Folder::Split(systemTarget, folderPath, fileName);
    auto opened = std::make_unique<Folder>();
    const std::error_code refused = opened->Open(folderPath);
    ownFolder = std::move(opened);
    if (refused) {
        folder = ownFolder.get();
        failedStep = Step::None;
        return Fail(Step::Create, refused);
    }
    return Start(*ownFolder, fileName);
}

bool ReplacementFile::Create(const Folder& into, const std::string& fileName) {
    Discard();
    ownFolder.reset();
    return Start(into, fileName);
}

bool ReplacementFile::Start(const Folder& into, const std::string& fileName) {
    folder = &into;
    name = fileName;
    failedStep = Step::None;
    error.clear();
    FolderEntry old;
    if (const std::error_code unseen = folder->Look(name, old)) {
        return Fail(Step::Create, unseen);
    }
    if (const std::error_code refused = ReplaceableError(*folder, name, old)) {
        return Fail(Step::Create, refused);
    }
    const bool keepsOld = old.kind == FolderEntry::Kind::Regular;
    const size_t limit = folder->NameLimit();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = TemporaryName(name, limit);
        if (!file.CreateNew(*folder, candidate, keepsOld)) {
            if (file.LastError() != SystemError(std::errc::file_exists)) {
                break;
            }
            continue;
        }
        temporary = std::move(candidate);
        // The replacement gets the owner, group and permissions of the file it replaces through its open
        // handle: a neighbour who swaps the new name for a link meanwhile changes nothing outside it.
        std::error_code metadataError = FileFaults::Check(FileFaults::Operation::KeepMetadata, *folder, temporary);
        if (!metadataError && keepsOld) {
            metadataError = Folder::KeepMetadata(file, old);
        }
        if (metadataError) {
            Discard();
            return Fail(Step::Create, metadataError);
        }
        FolderEntry made;
        createdAt = !folder->Look(temporary, made) ? made.changedNanoseconds : 0;
        return true;
    }
    return Fail(Step::Create, file.LastError());
}

bool ReplacementFile::Write(const char* bytes, size_t count) {
    if (Failed()) {
        return false;
    }
    if (!file.IsOpen()) {
        return Fail(Step::Write, SystemError(std::errc::bad_file_descriptor));
    }
    if (count != 0 && !file.Write(bytes, count)) {
        return Fail(Step::Write, file.LastError());
    }
    return true;
}

bool ReplacementFile::Finish() {
    if (file.IsOpen() && !file.Close()) {
        Fail(Step::Close, file.LastError());
    }
    return !Failed() && !temporary.empty();
}

bool ReplacementFile::Commit() {
    if (!Finish()) {
        Discard();
        return false;
    }
    if (const std::error_code moveError = folder->Move(temporary, name)) {
        Fail(Step::Move, moveError);
        Discard();
        return false;
    }
    temporary.clear();
    return true;
}

void ReplacementFile::Discard() {
    file.Close();
    if (!temporary.empty()) {
        folder->Remove(temporary);
        temporary.clear();
    }
}

bool ReplacementFile::CommitBoth(ReplacementFile& first, ReplacementFile& second) {
    const bool finished = first.Finish();
    if (!finished || !second.Finish()) {
        first.Discard();
        second.Discard();
        return false;
    }
    // What the first target holds now is kept under a second name while the two are moved, so that it can
    // be put back. Everything that may allocate is done before the first move: putting back allocates
    // nothing, so running out of memory cannot leave the pair mixed.
    const Folder& folder = *first.folder;
    FolderEntry old;
    if (const std::error_code unseen = folder.Look(first.name, old)) {
        first.Fail(Step::Keep, unseen);
        first.Discard();
        second.Discard();
        return false;
    }
    const bool hadFirst = old.kind != FolderEntry::Kind::Missing;
    std::string kept;
    if (hadFirst) {
        kept = TemporaryName(first.name, folder.NameLimit());
        // A file system without second names, or one that refuses a second name to a file of another
        // user, still lets the file be copied; when it cannot be kept either way, nothing is replaced.
        if (folder.Link(first.name, kept)) {
            if (const std::error_code copyError = folder.Copy(first.name, kept)) {
                first.Fail(Step::Keep, copyError);
                first.Discard();
                second.Discard();
                return false;
            }
        }
    }
    if (!first.Commit()) {
        if (hadFirst) {
            folder.Remove(kept);
        }
        second.Discard();
        return false;
    }
    if (!second.Commit()) {
        if (!hadFirst) {
            folder.Remove(first.name);
        } else {
            // Should even this move fail, the old file stays under its kept name: never removed here.
            folder.Move(kept, first.name);
        }
        return false;
    }
    if (hadFirst) {
        folder.Remove(kept);
    }
    return true;
}

size_t ReplacementFile::RemoveLeftovers(const Folder& folder, std::initializer_list<const char*> targets,
                                        int64_t before) {
    std::vector<std::string> names;
    if (folder.List(names)) {
        return 0;
    }
    size_t removed = 0;
    for (const std::string& candidate : names) {
        for (const char* target : targets) {
            FolderEntry entry;
            if (IsTemporaryOf(candidate, target) && !folder.Look(candidate, entry) &&
                entry.kind == FolderEntry::Kind::Regular && entry.changedNanoseconds < before) {
                folder.Remove(candidate);
                ++removed;
                break;
            }
        }
    }
    return removed;
}

} // namespace quorix
