#pragma once

#include <string>

namespace quorix {

// Where an import writes its two host import files: their folder, in the module's path form. Both files
// are always in one folder, which is locked and held open while they are written.
struct ImportPaths {
    std::string folder; // without a trailing backslash

    // The host's fixed folder: c:\workbase\temp on Windows; on other platforms the folder chosen when the
    // module was built.
    static ImportPaths Fixed();
    // The two file names in `folder` (module form, without a trailing backslash).
    static ImportPaths InFolder(const std::string& folder);

    // The files' paths, in the module's form.
    std::string DefinitionFile() const;
    std::string PositionFile() const;

    static constexpr const char* kDefinitionFileName = "csvimprt.txt";
    static constexpr const char* kPositionFileName = "posimport.txt";
};

} // namespace quorix
