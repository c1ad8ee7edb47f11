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
} // namespace quorix::paths
