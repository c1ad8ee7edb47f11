// make-input: writes a synthetic lay, marker (with its styles folder) or text file of a chosen size.
#include "InputGenerator.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>

namespace {
const char* const kUsage =
    "usage: make-input lay FILE [--placements N] [--models M] [--pieces P] [--crlf-every K] [--seed S]\n"
    "                           [--colliding-pairs 1]\n"
    "       make-input marker FOLDER [--styles S] [--sizes Z] [--pieces K]\n"
    "       make-input text FILE [--lines N]\n"
    "A marker is written to FOLDER/markers/bench.mkr with its styles in FOLDER/styles; the marker's path\n"
    "is printed. Lays and text files are written to FILE.\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "make-input: %s\n%s", problem, kUsage);
    return 64;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return Usage("a kind and a path are needed");
    }
    const std::string kind = argv[1];
    const std::string path = argv[2];
    std::map<std::string, long long> options;
    for (int i = 3; i < argc; i += 2) {
        const std::string name = argv[i];
        if (name.rfind("--", 0) != 0 || i + 1 >= argc) {
            return Usage(("bad option " + name).c_str());
        }
        char* end = nullptr;
        const long long value = std::strtoll(argv[i + 1], &end, 10);
        if (*end != '\0' || value < 0) {
            return Usage(("bad value for " + name).c_str());
        }
        options[name.substr(2)] = value;
    }
    auto take = [&options](const char* name, long long fallback) {
        const auto it = options.find(name);
        if (it == options.end()) {
            return fallback;
        }
        const long long value = it->second;
        options.erase(it);
        return value;
    };
    try {
        if (kind == "lay") {
            bench::LayParams params;
            params.placements = take("placements", params.placements);
            params.models = static_cast<int32_t>(take("models", params.models));
            params.pieces = static_cast<int32_t>(take("pieces", params.pieces));
            params.crlfEvery = static_cast<int32_t>(take("crlf-every", params.crlfEvery));
            params.seed = static_cast<uint32_t>(take("seed", params.seed));
            params.collidingPairs = take("colliding-pairs", 0) != 0;
            if (!options.empty()) {
                return Usage(("unknown option --" + options.begin()->first).c_str());
            }
            bench::WriteFile(path, bench::MakeLay(params));
        } else if (kind == "marker") {
            bench::MarkerParams params;
            params.styles = static_cast<int32_t>(take("styles", params.styles));
            params.sizes = static_cast<int32_t>(take("sizes", params.sizes));
            params.piecesPerStyle = static_cast<int32_t>(take("pieces", params.piecesPerStyle));
            if (!options.empty()) {
                return Usage(("unknown option --" + options.begin()->first).c_str());
            }
            std::printf("%s\n", bench::WriteMarker(params, path).markerPath.c_str());
        } else if (kind == "text") {
            const long long lines = take("lines", 100000);
            if (!options.empty()) {
                return Usage(("unknown option --" + options.begin()->first).c_str());
            }
            bench::WriteFile(path, bench::MakeTextLines(lines));
        } else {
            return Usage(("unknown kind " + kind).c_str());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-input: %s\n", error.what());
        return 1;
    }
    return 0;
}
