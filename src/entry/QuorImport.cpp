#include "entry/QuorImport.h"

#include "export/CleanName.h"
#include "layy/QuorLayY.h"
#include "marker/QuorMarker.h"
#include "platform/HostLog.h"
#include "platform/ModuleStateGuard.h"
#include "platform/PathMapping.h"
#include "platform/StringTable.h"

#include <algorithm>
#include <cstring>

namespace {
template <typename Reader>
void WriteImportFiles(const Reader& reader, const ImportPaths& paths, ImportOutcome& outcome,
                      char* orderName) {
    outcome.definitionWritten = reader.WriteDefinitionFile(paths.definitionFile);
    outcome.positionWritten = reader.WritePositionFile(paths.positionFile);
    outcome.orderName = OrderNameOf(reader);
    if (orderName != nullptr) {
        QuorImport::HandBackName(outcome.orderName, orderName);
    }
}
} // namespace

ImportOutcome QuorImport::Run(const std::string& callerPath, char* orderName, const ImportPaths& paths) {
    ImportOutcome outcome;
    const std::string modulePath = PathMapping::FromCallerPath(callerPath);
    QuorLayY lay;
    outcome.loaded = lay.Load(modulePath);
    if (outcome.loaded) {
        outcome.kind = ImportOutcome::Kind::LayY;
        WriteImportFiles(lay, paths, outcome, orderName);
    } else {
        QuorMarker marker;
        outcome.loaded = marker.Load(modulePath);
        if (outcome.loaded) {
            outcome.kind = ImportOutcome::Kind::Marker;
            WriteImportFiles(marker, paths, outcome, orderName);
        }
    }
    if (!outcome.loaded) {
        ReportNotInQuorixFormat(callerPath, modulePath);
    }
    return outcome;
}

void QuorImport::HandBackName(const std::string& name, char* buffer) {
    const size_t length = std::min(name.size(), kOrderNameLength);
    std::memcpy(buffer, name.data(), length);
    buffer[length] = '\0';
    buffer[kOrderNameLength] = '\0';
}

void QuorImport::ReportNotInQuorixFormat(const std::string& callerPath, const std::string& modulePath) {
    const ModuleStateGuard ownResources;
    const std::string baseName = QuorFile::BaseNameOf(modulePath);
    const std::string text = StringTable::Format(StringTable::kNotInQuorixFormat, {callerPath});
    HostLog::Report(text, baseName.c_str());
}
