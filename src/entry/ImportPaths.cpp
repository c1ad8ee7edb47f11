#include "entry/ImportPaths.h"

#include "platform/PathMapping.h"
#include "platform/PathRules.h"

namespace quorix {

#ifndef QUORIX_IMPORT_DIR
#define QUORIX_IMPORT_DIR "/var/lib/workbase/temp"
#endif

ImportPaths ImportPaths::Fixed() {
#ifdef _WIN32
    return {"c:\\workbase\\temp\\csvimprt.txt", "c:\\workbase\\temp\\posimport.txt"};
#else
    return InFolder(paths::FromCallerPath(QUORIX_IMPORT_DIR));
#endif
}

ImportPaths ImportPaths::InFolder(const std::string& folder) {
    return {paths::Join(folder, kDefinitionFileName), paths::Join(folder, kPositionFileName)};
}

} // namespace quorix
