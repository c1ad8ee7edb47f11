#include "entry/QuorImport.h"

#include "export/FileSink.h"
#include "export/NameRules.h"
#include "export/QuorLayYExport.h"
#include "export/QuorMarkerExport.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "platform/HostLog.h"
#include "platform/ModuleStateGuard.h"
#include "platform/PathMapping.h"
#include "platform/PathRules.h"
#include "platform/StringTable.h"
#include "platform/Folder.h"

#include <algorithm>
#include <cstring>

namespace quorix {

namespace {
template <typename Reader>
bool LoadInto(Reader& reader, const std::string& modulePath, const ReadOptions& options,
              ReaderVerdict& verdict) {
    const bool loaded =
        options.bytes != nullptr ? reader.Load(modulePath, *options.bytes) : reader.Load(modulePath);
    verdict.tried = true;
    verdict.stoppedAt = reader.GetStoppedAt();
    verdict.openError = reader.GetOpenError();
    if (!loaded) {
        verdict.message = reader.GetFailureText();
        verdict.offset = reader.GetFailureOffset();
    }
    return loaded;
}

void Record(ImportFileResult& result, const FileSink& file, bool written) {
    result.written = written;
    result.failedStep = file.File().FailedStep();
    result.error = file.File().Error();
}

// Writes both files of an import into the open `folder`, whose writer lock the caller holds.
template <typename Reader>
void WriteFiles(const Reader& reader, const Folder& folder, Placing placing, ImportWriting& writing) {
    const bool eachAlone = placing == Placing::EachWhenComplete;

    FileSink definition;
    if (definition.Create(folder, ImportPaths::kDefinitionFileName)) {
        // Temporary files older than this one's are left by runs that ended without removing them: no
        // writer that holds the lock, as this one does, is still at them.
        writing.leftoversRemoved = ReplacementFile::RemoveLeftovers(
            folder, {ImportPaths::kDefinitionFileName, ImportPaths::kPositionFileName},
            definition.File().CreatedAt());
        writing.models = WriteDefinition(reader, definition);
        eachAlone ? definition.Replace() : definition.Finish();
    }
    Record(writing.definition, definition, eachAlone && !definition.File().Failed());
    if (!eachAlone && definition.File().Failed()) {
        return; // neither file will be replaced
    }

    // The position file is created before the placements are matched, so that a position file that
    // cannot be created fails quietly and the position error is not raised.
    FileSink position;
    if (position.Create(folder, ImportPaths::kPositionFileName)) {
        try {
            writing.positionLines = WritePositions(reader, position);
        } catch (const QuorUnhandledFormatFeatureException&) {
            if (eachAlone) {
                position.Replace(); // the host finds an empty position file
            }
            throw; // with both together, the writers' files are removed on the way out
        }
        eachAlone ? position.Replace() : position.Finish();
    }
    if (eachAlone) {
        Record(writing.position, position, !position.File().Failed());
        return;
    }
    const bool both = !definition.File().Failed() && !position.File().Failed() &&
                      ReplacementFile::CommitBoth(definition.File(), position.File());
    Record(writing.definition, definition, both);
    Record(writing.position, position, both);
}

// Opens and locks the output folder, then writes both files of an import into it.
template <typename Reader>
ImportWriting WriteLocked(const Reader& reader, const ImportPaths& paths, Placing placing,
                          const WriteOptions& options) {
    ImportWriting writing;
    writing.definition.path = paths::ToSystemPath(paths.DefinitionFile());
    writing.position.path = paths::ToSystemPath(paths.PositionFile());
    Folder folder;
    if (const std::error_code error = folder.Open(paths::ToSystemPath(paths.folder))) {
        // As the host's runtime tells it: the first file cannot be created.
        writing.definition.failedStep = ReplacementFile::Step::Create;
        writing.definition.error = error;
        return writing;
    }
    FolderLock lock;
    writing.lock = lock.Acquire(folder, options.lockWait, options.stop);
    writing.lockError = lock.Error();
    const bool gaveUp =
        writing.lock == FolderLock::Outcome::Stopped ||
        (writing.lock == FolderLock::Outcome::TimedOut && !options.writeWithoutLock);
    if (!gaveUp) {
        WriteFiles(reader, folder, placing, writing);
    }
    return writing;
}

// Copies at most 20 characters of `name` and a NUL into `buffer`, and sets buffer[20] to NUL; bytes between
// the terminator and index 20 are left as they were.
void HandBackName(const std::string& name, char* buffer) {
    const size_t length = std::min(name.size(), kOrderNameLength);
    std::memcpy(buffer, name.data(), length);
    buffer[length] = '\0';
    buffer[kOrderNameLength] = '\0';
}

// Reports a file that neither reader accepted to the host's error log.
void ReportNotInQuorixFormat(const std::string& callerPath) {
    const detail::ModuleStateGuard ownResources;
    const std::string baseName = paths::BaseName(paths::FromCallerPath(callerPath));
    const std::string text = detail::LoadMessage(detail::kNotInQuorixFormat, {callerPath});
    detail::ReportToHost(text, baseName.c_str());
}
} // namespace

ImportReading ReadImport(const std::string& callerPath, const ReadOptions& options) {
    ImportReading reading;
    const std::string modulePath = paths::FromCallerPath(callerPath);
    auto lay = std::make_unique<QuorLayY>();
    if (options.diagnostics) {
        lay->SetDiagnosticSink(
            [&reading, kept = options.diagnosticsKept](int64_t offset, const std::string& line) {
                if (reading.diagnosticCount++ < kept) {
                    reading.diagnostics.push_back({offset, line});
                }
            });
    }
    const bool layLoaded = LoadInto(*lay, modulePath, options, reading.layVerdict);
    lay->SetDiagnosticSink(nullptr);
    if (layLoaded) {
        reading.kind = ImportKind::LayY;
        reading.orderName = OrderName(lay->GetFileName());
        reading.lay = std::move(lay);
        return reading;
    }
    auto marker = std::make_unique<QuorMarker>();
    marker->KeepStyleFiles(options.keepStyleFiles);
    if (LoadInto(*marker, modulePath, options, reading.markerVerdict)) {
        reading.kind = ImportKind::Marker;
        reading.orderName = OrderName(marker->GetFileName());
    }
    reading.marker = std::move(marker);
    return reading;
}

ImportWriting WriteImport(const ImportReading& reading, const ImportPaths& paths, Placing placing,
                          const WriteOptions& options) {
    if (reading.kind == ImportKind::LayY) {
        return WriteLocked(*reading.lay, paths, placing, options);
    }
    if (reading.kind == ImportKind::Marker) {
        return WriteLocked(*reading.marker, paths, placing, options);
    }
    return {};
}

ImportOutcome RunImport(const std::string& callerPath, char* orderName, const ImportPaths& paths,
                        const ReadOptions& options) {
    ImportOutcome outcome;
    const ImportReading reading = ReadImport(callerPath, options);
    outcome.loaded = reading.Loaded();
    outcome.kind = reading.kind;
    if (!outcome.loaded) {
        ReportNotInQuorixFormat(callerPath);
        return outcome;
    }
    // The host waits for another import into its folder as long as the converter does, then writes all
    // the same: it asked for the files, and a stuck writer must not keep them from it for ever.
    WriteOptions writeOptions;
    writeOptions.writeWithoutLock = true;
    outcome.writing = WriteImport(reading, paths, Placing::EachWhenComplete, writeOptions);
    outcome.orderName = reading.orderName;
    if (orderName != nullptr) {
        HandBackName(outcome.orderName, orderName);
    }
    return outcome;
}

} // namespace quorix
