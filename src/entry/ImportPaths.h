#pragma once

#include <string>

namespace quorix {

// The two host import files that an import writes, in the module's path form.
struct ImportPaths {
    std::string definitionFile;
    std::string positionFile;

    // The host's fixed paths: c:\workbase\temp\csvimprt.txt and c:\workbase\temp\posimport.txt on Windows;
    // on other platforms the same file names in the folder chosen when the module was built.
    static ImportPaths Fixed();
    // The two file names in `folder` (module form, without a trailing backslash).
    static ImportPaths InFolder(const std::string& folder);

    static constexpr const char* kDefinitionFileName = "csvimprt.txt";
    static constexpr const char* kPositionFileName = "posimport.txt";
};

} // namespace quorix
