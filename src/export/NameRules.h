#pragma once

#include <string>

// The names that the import files and the host's order buffer take from the input's path.
namespace quorix {

// The cleaned form of one character of a name written to the import files: '.', '/' and '#' become '-',
// which the host reads as separators of its own.
inline void CleanChar(char& c) {
    if (c == '.' || c == '/' || c == '#') {
        c = '-';
    }
}
// The order name of an import of the file at `path` (in the module's backslash form): its base name,
// cleaned.
std::string OrderName(const std::string& path);

} // namespace quorix
