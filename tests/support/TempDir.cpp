#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/quorix-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path, ignored);
}

std::string TempDir::Write(const std::string& relative, const std::string& bytes) const {
    const std::string full = Path(relative);
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    WriteFile(full, bytes);
    return full;
}

void TempDir::WriteFile(const std::string& fullPath, const std::string& bytes) {
    std::ofstream out(fullPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + fullPath);
    }
}

std::string TempDir::MakeDir(const std::string& relative) const {
    const std::string full = Path(relative);
    std::filesystem::create_directories(full);
    return full;
}

std::string TempDir::ReadFile(const std::string& fullPath) {
    std::ifstream in(fullPath, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + fullPath);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDir::Exists(const std::string& fullPath) {
    return std::filesystem::exists(fullPath);
}

std::map<std::string, std::string> TempDir::Snapshot(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    if (!fs::exists(fs::symlink_status(folder))) {
        return entries;
    }
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string relative = fs::relative(entry.path(), folder).string();
        const fs::file_status status = entry.symlink_status();
        const std::string mode = std::to_string(static_cast<unsigned>(status.permissions()) & 0777u);
        if (fs::is_symlink(status)) {
            entries[relative] = "link -> " + fs::read_symlink(entry.path()).string();
        } else if (fs::is_regular_file(status)) {
            entries[relative] = "file " + mode + " " + ReadFile(entry.path().string());
        } else if (fs::is_directory(status)) {
            entries[relative] = "folder " + mode;
        } else {
            entries[relative] = "other";
        }
    }
    return entries;
}
