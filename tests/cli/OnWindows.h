#pragma once

// The process tests run against the Windows converter under Wine too (QUORIX_CONVERTER_ON_WINDOWS): a case
// that cannot apply there is skipped with its reason, and paths the converter makes are expected in the
// Windows form.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

constexpr bool kOnWindows = QUORIX_CONVERTER_ON_WINDOWS;
#define QUORIX_SKIP_ON_WINDOWS(reason)                                                                       \
    if (kOnWindows && (reason) != nullptr)                                                                   \
    GTEST_SKIP() << "not on Windows: " << (reason)

constexpr const char* kNoLinks = "a POSIX symbolic link (Windows links are made and kept otherwise)";
constexpr const char* kNoFifos = "a named pipe in the file system, which Windows has not";
constexpr const char* kNoModes = "POSIX permissions, which Windows files and folders have not";

// A path that the converter made, or its tail, as printed: on Windows with backslashes, and an absolute one
// on the drive that Wine gives the Unix root.
inline std::string AsMade(std::string path, bool absolute = false) {
    if (kOnWindows) {
        std::replace(path.begin(), path.end(), '/', '\\');
    }
    return (kOnWindows && absolute ? "Z:" : "") + path;
}
