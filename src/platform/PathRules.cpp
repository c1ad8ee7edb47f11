#include "platform/PathRules.h"

namespace quorix::paths {

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
    std::string joined = folder;
    if (joined.empty() || joined.back() != '\\') {
        joined += '\\';
    }
    return joined + name;
}

} // namespace quorix::paths
