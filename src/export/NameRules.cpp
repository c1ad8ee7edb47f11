#include "export/NameRules.h"

#include "platform/PathRules.h"

namespace quorix {

std::string OrderName(const std::string& path) {
    std::string name = paths::BaseName(path);
    for (char& c : name) {
        CleanChar(c);
    }
    return name;
}

} // namespace quorix
