#include "entry/ImportPaths.h"

#include "platform/PathMapping.h"
#include "platform/PathRules.h"

namespace quorix {

#ifndef QUORIX_IMPORT_DIR
#define QUORIX_IMPORT_DIR "/var/lib/workbase/temp"
#endif

ImportPaths ImportPaths::Fixed() {
    // The Windows host's folder is fixed; elsewhere the build chooses it.
    return InFolder(paths::kBackslashSeparates ? "c:\\workbase\\temp" : paths::FromCallerPath(QUORIX_IMPORT_DIR));
}

ImportPaths ImportPaths::InFolder(const std::string& folder) {
    return {folder};
}

std::string ImportPaths::DefinitionFile() const {
    return paths::Join(folder, kDefinitionFileName);
}

std::string ImportPaths::PositionFile() const {
    return paths::Join(folder, kPositionFileName);
}

} // namespace quorix
