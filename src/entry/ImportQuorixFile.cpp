#include "entry/ImportQuorixFile.h"

#include "entry/QuorImport.h"

// Exceptions are not caught here: the lay position writer's error reaches the host, as the host expects.
extern "C" int QUORIX_MARKER_CALL ImportQuorixFile(const char* filePath, char* orderName) {
    const std::string path = filePath != nullptr ? filePath : "";
    return QuorImport::Run(path, orderName, ImportPaths::Fixed()).loaded ? 1 : 0;
}
