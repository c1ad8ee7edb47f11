#include "FuzzSupport.h"

#include "log/Log.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

using namespace quorix;

const std::string& FuzzScratch::Folder() {
    // Never freed: the clean-up at exit still needs it.
    static const std::string* const folder = new std::string([] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/quorix-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create the scratch folder");
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Folder(), ignored);
        });
        return pattern;
    }());
    return *folder;
}

std::string FuzzScratch::Path(const std::string& relative) {
    return Folder() + "/" + relative;
}

void FuzzScratch::Write(const std::string& relative, std::string_view bytes) {
    // What this process last wrote to each file: one that already holds the bytes is left as it is (an
    // input mostly differs from the one before in one part only).
    static auto* const held = new std::map<std::string, std::string>();
    const auto [last, added] = held->try_emplace(relative);
    if (!added && last->second == bytes) {
        return;
    }
    const std::string path = Path(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + path);
    }
    // An empty part may have no bytes at all to point at.
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !written) {
        throw std::runtime_error("cannot write " + path);
    }
    last->second = bytes;
}

// Called once before the first input: no run leaves the diagnostic log Log.txt behind.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Log::DisableFile();
    return 0;
}

// The module's reports to the host go nowhere while fuzzing.
extern "C" void dll_vq_log_error(int, int, const char*, const char*) {}
