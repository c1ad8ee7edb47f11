#pragma once

#include <string>

// The module's path rules treat the backslash as the only folder separator, as the Windows host does.
// On POSIX builds a path crosses two borders: the caller's path (with '/') is turned into the module's
// form (with '\') once, at the import boundary, and every path the module opens is turned back into the
// operating system's form. On Windows both directions leave the path unchanged.
namespace quorix::paths {

// Whether the system itself takes a backslash for a folder separator (a path's backslashes are then shown
// as they are).
#ifdef _WIN32
constexpr bool kBackslashSeparates = true;
#else
constexpr bool kBackslashSeparates = false;
#endif

// Caller's path to the module's backslash form.
std::string FromCallerPath(const std::string& callerPath);
// Module path to the form handed to the operating system when a file is opened.
std::string ToSystemPath(const std::string& modulePath);

} // namespace quorix::paths
