// Writes the seed corpora of the fuzz targets: the bundled examples and files made with the tests'
// builders, one file per seed, into <corpus>/<target>/.
//
//   quorix_fuzz_seeds <examples folder> <corpus folder>
#include "support/LayBuilder.h"
#include "support/MarkerBuilder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {
std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One record of every tag the lay reader knows, each after a 'Y' record.
std::vector<std::string> RecordSeeds() {
    using B = LayBuilder;
    const std::string w = B::I32(7);
    const std::map<char, std::string> contents = {
        {'<', w + w + w},
        {'=', "xyz"},
        {'>', w + w},
        {'@', "abc" + B::Str("a") + B::Str("b") + B::Str("c") + B::Str("d")},
        {'B', "\r\n"},
        {'C', B::I32(3) + std::string(72, '\1')},
        {'F', w + w + w},
        {'G', w + B::I8(1)},
        {'H', std::string(56, '\2') + B::Str("h") + B::Str("i")},
        {'I', B::I16(3) + B::Str("name") + w},
        {'K', B::I32(1) + std::string(16, '\3') + B::I8(-1)},
        {'L', std::string(20, '\4') + B::Str("")},
        {'M', B::I32(1) + B::Str("grp") + B::I32(2) + w + w + B::I32(1) + w},
        {'S', B::I32(1) + std::string(16, '\5')},
        {'X', w + w + B::Str("a") + B::Str("b") + w + w + w + B::Str("c") + B::Str("d")},
        {'^', w + w + w + w},
        {'g', B::I32(1) + B::I8(1) + B::I8(2) + w},
        {'i', B::I8(1) + w},
        {'l', std::string(24, '\6') + B::Str("l")},
        {'m', w},
        {'r', w + w},
        {'t', w + w},
        {'|', B::I32(1) + w + w + B::I32(1) + w + B::I32(0)},
        {'A', "unsupported"},
    };
    std::vector<std::string> seeds;
    for (const auto& [tag, content] : contents) {
        seeds.push_back(LayBuilder().Y().Record(tag, content).Bytes());
    }
    PlacementSpec turned;
    turned.flag1 = true;
    turned.angle = 200.0f;
    turned.x = 0.00001f;
    turned.y = 999999.9f;
    seeds.push_back(LayBuilder()
                        .Y()
                        .W(1600.0f)
                        .O({"FRONT", "BACK", "FRONT"}, {"S", "M", "S"})
                        .P({PlacementSpec{0, 0}, turned, PlacementSpec{1, 1}})
                        .T({PlacementSpec{2, 2}, PlacementSpec{1, 0}})
                        .Bytes());
    seeds.push_back(LayBuilder().Y().Record('O', B::I32(1) + B::Str("A\r\nB") + B::I32(0)).Bytes());
    seeds.push_back(LayBuilder().Y().RecordWithLength(0, 'B', "").Bytes());
    seeds.push_back(std::string());
    return seeds;
}

std::vector<std::string> MarkerSeeds() {
    const std::string styleA = StyleBuilder(16).Piece("front", 1, 0).Piece("back", 2, 1).Text();
    const std::string styleB = StyleBuilder(12).Piece("back", 1, 1).Piece("sleeve", 2, 0).Text("\r\n");
    const std::string styleC = StyleBuilder(13).Block("+x", "collar", "W 1 1 ").Text();
    std::vector<std::string> seeds;
    for (int version : {10, 12, 18, 19}) {
        MarkerBuilder marker(version);
        marker.Slot("a", {{38, "1", 1}, {40, "1.5", 2}})
            .Slot("b", {{40, "1.5", 2}})
            .Slot("c", {{-1, "0", 0}});
        seeds.push_back(marker.Text() + "@@\n" + styleA + "@@\n" + styleB + "@@\n" + styleC);
    }
    seeds.push_back(MarkerBuilder(11).Text());
    seeds.push_back(MarkerBuilder("%25", 19).Slot("a", {{12, "1", 1}}).Truncate().Text("\r\n") + "@@\n" +
                    styleA);
    return seeds;
}

void WriteSeeds(const std::filesystem::path& folder, const std::vector<std::string>& seeds) {
    std::filesystem::create_directories(folder);
    for (size_t i = 0; i < seeds.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "seed-%03zu", i);
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(seeds[i].data(), static_cast<std::streamsize>(seeds[i].size()));
    }
}
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorix_fuzz_seeds EXAMPLES_FOLDER CORPUS_FOLDER\n");
        return 64;
    }
    const std::filesystem::path examples = argv[1];
    const std::filesystem::path corpus = argv[2];

    std::vector<std::string> lays = RecordSeeds();
    lays.push_back(ReadFile(examples / "lays/W12.LAY"));
    lays.push_back(ReadFile(examples / "lays/SKIP-01.LAY"));
    std::vector<std::string> markers = MarkerSeeds();
    markers.push_back(ReadFile(examples / "markers/m1.mkr") + "@@\n" +
                      ReadFile(examples / "styles/shirt.sty"));

    std::vector<std::string> fields;
    for (const std::string& marker : markers) {
        fields.push_back("\n" + marker.substr(0, marker.find("@@\n")));
    }
    fields.push_back(" X 2 1 rest\n" + std::string(255, 'a') + "\n" + std::string(256, 'b') + "\n");
    fields.push_back("\n%19\r\n  42abc\r\n-7\r\n0.8\r\n1e2\r\n\x1a"
                     "after");

    std::vector<std::string> imports = lays;
    for (const std::string& marker : markers) {
        imports.push_back(marker.substr(0, marker.find("@@\n")));
    }

    WriteSeeds(corpus / "LayYFuzzer", lays);
    WriteSeeds(corpus / "MarkerFuzzer", markers);
    WriteSeeds(corpus / "TextFieldFuzzer", fields);
    WriteSeeds(corpus / "ImportFuzzer", imports);
    std::printf("%zu lay, %zu marker, %zu field and %zu import seeds\n", lays.size(), markers.size(),
                fields.size(), imports.size());
    return 0;
}
