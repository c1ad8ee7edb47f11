#include "platform/PathMapping.h"

#include <algorithm>

namespace quorix::paths {

std::string FromCallerPath(const std::string& callerPath) {
    std::string path = callerPath;
#ifndef _WIN32
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

std::string ToSystemPath(const std::string& modulePath) {
    std::string path = modulePath;
#ifndef _WIN32
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return path;
}

} // namespace quorix::paths
