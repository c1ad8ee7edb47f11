#include "BenchSupport.h"

#include "layy/QuorLayY.h"
#include "platform/PathMapping.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <tuple>

using namespace quorix;

namespace bench {
namespace {
class Scratch {
public:
    Scratch() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/quorix-bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a scratch folder");
        }
        path = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string path;
};
} // namespace

const std::string& ScratchFolder() {
    static const Scratch scratch;
    return scratch.path;
}

const std::string& LayFile(const LayParams& params) {
    using Key = std::tuple<int64_t, int32_t, int32_t, int32_t, uint32_t, bool>;
    static std::map<Key, std::string> files;
    const Key key(params.placements, params.models, params.pieces, params.crlfEvery, params.seed,
                  params.collidingPairs);
    const auto found = files.find(key);
    if (found != files.end()) {
        return found->second;
    }
    const std::string path = ScratchFolder() + "/lay-" + std::to_string(files.size()) + ".lay";
    WriteFile(path, MakeLay(params));
    return files.emplace(key, path).first->second;
}

const std::string& MarkerFile(const MarkerParams& params, int64_t* bytes) {
    using Key = std::tuple<int32_t, int32_t, int32_t>;
    static std::map<Key, MarkerFiles> markers;
    const Key key(params.styles, params.sizes, params.piecesPerStyle);
    auto found = markers.find(key);
    if (found == markers.end()) {
        const std::string folder = ScratchFolder() + "/marker-" + std::to_string(markers.size());
        std::filesystem::create_directories(folder);
        found = markers.emplace(key, WriteMarker(params, folder)).first;
    }
    if (bytes != nullptr) {
        *bytes = found->second.totalBytes;
    }
    return found->second.markerPath;
}

const std::string& ScratchFile(const std::string& name, const std::function<std::string()>& make) {
    static std::map<std::string, std::string> files;
    const auto found = files.find(name);
    if (found != files.end()) {
        return found->second;
    }
    const std::string path = ScratchFolder() + "/" + name;
    WriteFile(path, make());
    return files.emplace(name, path).first->second;
}

const QuorLayY& LoadedLay(int64_t placements) {
    static std::map<int64_t, std::unique_ptr<QuorLayY>> lays;
    std::unique_ptr<QuorLayY>& lay = lays[placements];
    if (!lay) {
        LayParams params;
        params.placements = placements;
        lay = std::make_unique<QuorLayY>();
        if (!lay->Load(ModulePath(LayFile(params)))) {
            throw std::runtime_error("a generated lay did not load");
        }
    }
    return *lay;
}

int64_t FileSize(const std::string& path) {
    return static_cast<int64_t>(std::filesystem::file_size(path));
}

std::string ModulePath(const std::string& systemPath) {
    return paths::FromCallerPath(systemPath);
}

} // namespace bench
