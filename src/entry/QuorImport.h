#pragma once

#include "entry/ImportPaths.h"
#include "files/QuorFile.h"
#include "layy/QuorLayY.h"
#include "marker/QuorMarker.h"
#include "platform/Folder.h"
#include "platform/ReplacementFile.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorix {

// Which reader accepted a file.
enum class ImportKind { None, LayY, Marker };

// How one reader ended with the file.
struct ReaderVerdict {
    bool tried = false;
    QuorFile::Step stoppedAt = QuorFile::Step::Open; // Accepted, or the step that refused the file
    std::string message;                             // why that step refused it; empty when accepted
    std::error_code openError;                       // the system's reason when the file could not be opened
    int64_t offset = -1; // the file offset that the refusal concerns, -1 when none does

    bool Accepted() const { return tried && stoppedAt == QuorFile::Step::Accepted; }
};

// A diagnostic line of the lay reader's record walk, with the offset of its record's length field.
struct ReadDiagnostic {
    int64_t offset = 0;
    std::string line;
};

// What the read step made of a file: the reader that accepted it with its model, and how each reader
// that was tried ended.
struct ImportReading {
    ImportKind kind = ImportKind::None;
    std::unique_ptr<QuorLayY> lay;      // set when the lay reader accepted the file
    std::unique_ptr<QuorMarker> marker; // set when the marker reader was tried (its styles are read then)
    ReaderVerdict layVerdict;
    ReaderVerdict markerVerdict;
    std::vector<ReadDiagnostic> diagnostics; // only when asked for, and at most as many as asked to keep
    size_t diagnosticCount = 0;              // composed, kept or not
    std::string orderName;                   // the whole order name, before its cut to 20 characters

    bool Loaded() const { return kind != ImportKind::None; }
};

struct ReadOptions {
    // Compose the lay reader's diagnostic lines (they cost time; nothing else changes), and keep at most
    // `diagnosticsKept` of them (the others are only counted), so that their memory stays bounded.
    bool diagnostics = false;
    size_t diagnosticsKept = static_cast<size_t>(-1);
    // Keep every style file that a marker names, not only how its reading went.
    bool keepStyleFiles = false;
    // The file's content when the caller has already read it (a stream is read once); null to read the
    // file at the path.
    const std::string_view* bytes = nullptr;
};

// What the write step did with one import file.
struct ImportFileResult {
    std::string path;     // in the operating system's form
    bool written = false; // the complete file is in place
    ReplacementFile::Step failedStep = ReplacementFile::Step::None;
    std::error_code error; // why the failed step failed
};

// What the write step did with both import files.
struct ImportWriting {
    ImportFileResult definition;
    ImportFileResult position;
    size_t models = 0;        // model blocks of the definition file
    size_t positionLines = 0; // lines of the position file
    // How the output folder's writer lock went. Held, or Unavailable where the system offers none for the
    // folder, when the files were written; TimedOut or Stopped when nothing was written (but see
    // WriteOptions::writeWithoutLock).
    FolderLock::Outcome lock = FolderLock::Outcome::Held;
    std::error_code lockError;    // the system's reason for Unavailable
    size_t leftoversRemoved = 0;  // temporary files of killed runs removed from the folder

    bool Complete() const { return definition.written && position.written; }
};

// How the write step shares the output folder with other writers.
struct WriteOptions {
    // The longest wait for another writer of the same folder (a process or a thread) to finish its pair.
    std::chrono::milliseconds lockWait{std::chrono::seconds(30)};
    // After a wait in vain, write all the same (the exported function: the host asked for the files and
    // has no way to hear why they were not written), instead of giving up with nothing written.
    bool writeWithoutLock = false;
    // Asked while waiting: true gives up, nothing written.
    std::function<bool()> stop;
};

// How the two import files are put in place.
enum class Placing {
    // Each as soon as it is complete, the definition file first: the host's own way.
    EachWhenComplete,
    // Both once both are complete; when either fails, neither is replaced.
    BothWhenComplete,
};

// What one call of the exported function did.
struct ImportOutcome {
    using Kind = ImportKind;

    bool loaded = false;    // a reader accepted the file; the exported function's result
    Kind kind = Kind::None; // which one
    ImportWriting writing;  // what was written, when it was loaded
    std::string orderName;  // the whole order name, before its cut to 20 characters
};

// The import, in two steps: ReadImport tries the lay reader first and the marker reader only when the lay
// reader refuses the file; WriteImport has the accepted reader write both import files. RunImport is the
// exported function's import: both steps, the order name handed back, and a file that neither reader
// accepts reported to the host's error log.

constexpr size_t kOrderNameLength = 20; // the caller's buffer holds 21 bytes

// `callerPath` is the path as the caller passed it. A marker reports an unsupported format version to the
// host's error log while it is read.
ImportReading ReadImport(const std::string& callerPath, const ReadOptions& options = {});
// Writes the import files of a loaded reading (the definition file first) while holding the folder's writer
// lock, and first removes what killed runs left there. The lay's position error passes through to the
// caller: with EachWhenComplete after a complete definition file and an empty position file were put in
// place, with BothWhenComplete with neither file touched.
ImportWriting WriteImport(const ImportReading& reading, const ImportPaths& paths, Placing placing,
                          const WriteOptions& options = {});
// ReadImport, then WriteImport with EachWhenComplete, or the report of a file in neither format to the
// host's error log. `orderName` receives at most 20 characters of the name and a NUL when the file was
// loaded (it may be null), and its byte 20 is then always NUL. The lay position writer's error passes
// through to the caller.
ImportOutcome RunImport(const std::string& callerPath, char* orderName, const ImportPaths& paths,
                        const ReadOptions& options = {});

} // namespace quorix
