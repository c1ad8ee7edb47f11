#include "FuzzSupport.h"

#include "log/Log.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string_view>

using namespace quorix;

const std::string& FuzzScratch::Folder() {
    // Never freed: the clean-up at exit still needs it.
    static const std::string* const folder = new std::string([] {
        Log::DisableFile();
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

std::string FuzzScratch::MakeDir(const std::string& relative) {
    const std::string path = Path(relative);
    std::filesystem::create_directories(path);
    return path;
}

std::string FuzzScratch::Write(const std::string& relative, const uint8_t* data, size_t size) {
    // What this process last wrote to each file: a file that already holds the bytes is left as it is (most
    // inputs differ from the one before in one part only), and its folder is made on its first write.
    static auto* const held = new std::map<std::string, std::string>();
    const std::string path = Path(relative);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto found = held->find(relative);
    if (found != held->end() && found->second == bytes) {
        return path;
    }
    if (found == held->end()) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    const bool whole = file != nullptr && std::fwrite(bytes.data(), 1, size, file) == size;
    if (file == nullptr || std::fclose(file) != 0 || !whole) {
        throw std::runtime_error("cannot write " + path);
    }
    (*held)[relative] = bytes;
    return path;
}

// Called once before the first input: no run leaves the diagnostic log Log.txt behind.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Log::DisableFile();
    return 0;
}

// The module's reports to the host go nowhere while fuzzing.
extern "C" void dll_vq_log_error(int, int, const char*, const char*) {}
