#pragma once

#include <map>
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }
    // Path of `relative` inside the folder (with '/').
    std::string Path(const std::string& relative) const { return path + "/" + relative; }
    // Writes `bytes` to `relative`, creating the folders on the way; returns the full path.
    std::string Write(const std::string& relative, const std::string& bytes) const;
    // Creates the folder `relative` (and its parents); returns the full path.
    std::string MakeDir(const std::string& relative) const;

    static std::string ReadFile(const std::string& fullPath);
    static void WriteFile(const std::string& fullPath, const std::string& bytes);
    static bool Exists(const std::string& fullPath);
    // Everything below `folder`, each entry as its relative path and what it is: "file <mode> <bytes>",
    // "link -> <target>", "folder <mode>" or "other" (a FIFO, a device), so that two snapshots are equal
    // exactly when nothing below the folder changed. Links are not followed.
    static std::map<std::string, std::string> Snapshot(const std::string& folder);

private:
    std::string path;
};
