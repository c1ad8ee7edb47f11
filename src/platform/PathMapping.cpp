#include "platform/PathMapping.h"

#include <algorithm>

namespace quorix::paths {

std::string FromCallerPath(const std::string& callerPath) {
    std::string path = callerPath;
    if (!kBackslashSeparates) {
        std::replace(path.begin(), path.end(), '/', '\\');
    }
    return path;
}

std::string ToSystemPath(const std::string& modulePath) {
    std::string path = modulePath;
    if (!kBackslashSeparates) {
        std::replace(path.begin(), path.end(), '\\', '/');
    }
    return path;
}

} // namespace quorix::paths
