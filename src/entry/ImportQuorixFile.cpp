#include "entry/ImportQuorixFile.h"

#include "entry/QuorImport.h"
#include "files/QuorUnhandledFormatFeatureException.h"

// The lay position writer's error reaches the host, which expects it. Any other exception (no memory
// left) must not reach a caller that may be written in C: the call then fails with 0.
extern "C" int QUORIX_MARKER_CALL ImportQuorixFile(const char* filePath, char* orderName) {
    try {
        const std::string path = filePath != nullptr ? filePath : "";
        return quorix::RunImport(path, orderName, quorix::ImportPaths::Fixed()).loaded ? 1 : 0;
    } catch (const quorix::QuorUnhandledFormatFeatureException&) {
        throw;
    } catch (...) {
        return 0;
    }
}
