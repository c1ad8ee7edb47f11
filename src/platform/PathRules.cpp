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

std::string StylesFolder(const std::string& markerPath) {
    return ParentFolder(ParentFolder(markerPath)) + "\\styles";
}

std::string& CleanName(std::string& name) {
    for (char& c : name) {
        CleanChar(c);
    }
    return name;
}

std::string OrderName(const std::string& path) {
    std::string name = BaseName(path);
    return CleanName(name);
}

} // namespace quorix::paths
