#pragma once

#include <string>

// The module's rules for paths and the names made of them, on paths in the module's form, where only the
// backslash separates folders (see PathMapping.h).
namespace quorix::paths {

// The part of `path` after its last backslash, or all of it.
std::string BaseName(const std::string& path);
// The part of `path` before its last backslash, or all of it when it holds none.
std::string ParentFolder(const std::string& path);
// `name` in `folder`: joined by a backslash unless the folder already ends in one (an empty folder gets
// one too).
std::string Join(const std::string& folder, const std::string& name);
// The styles folder of the marker file at `markerPath`: the folder above the marker's folder, then
// "styles". A cut that finds no backslash keeps its whole input.
std::string StylesFolder(const std::string& markerPath);

// The cleaned form of one character of a name written to the import files: '.', '/' and '#' become '-'.
inline void CleanChar(char& c) {
    if (c == '.' || c == '/' || c == '#') {
        c = '-';
    }
}
// Replaces every '.', '/' and '#' of `name` by '-', in place, and returns it.
std::string& CleanName(std::string& name);
// The order name of an import of the file at `path`: its base name, cleaned.
std::string OrderName(const std::string& path);

} // namespace quorix::paths
