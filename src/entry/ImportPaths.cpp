#include "entry/ImportPaths.h"

#include "platform/PathMapping.h"

#ifndef QUORIX_IMPORT_DIR
#define QUORIX_IMPORT_DIR "/var/lib/workbase/temp"
#endif

ImportPaths ImportPaths::Fixed() {
#ifdef _WIN32
    return {"c:\\workbase\\temp\\csvimprt.txt", "c:\\workbase\\temp\\posimport.txt"};
#else
    return InFolder(PathMapping::FromCallerPath(QUORIX_IMPORT_DIR));
#endif
}

ImportPaths ImportPaths::InFolder(const std::string& folder) {
    std::string base = folder;
    if (base.empty() || base.back() != '\\') {
        base += '\\';
    }
    return {base + kDefinitionFileName, base + kPositionFileName};
}
