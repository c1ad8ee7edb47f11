// The converter's investigation and batch tools, run as a process: --dump, --verbose, --preview, batches.
#include "support/LayBuilder.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#ifdef QUORIX_HAVE_JSON_READER
#include <nlohmann/json.hpp>
#endif
#ifdef QUORIX_HAVE_PNG
#include <png.h>
#endif

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {
const std::string kConverter = QUORIX_CONVERTER;
const std::string kExamples = QUORIX_EXAMPLES_DIR;

ProcessResult RunConverter(std::vector<std::string> args) {
    args.insert(args.begin(), kConverter);
    return RunProcess(args);
}
} // namespace

TEST(ConverterDump, KeepsEveryByteOfTheNamesAndEveryPlacementField) {
#ifndef QUORIX_HAVE_JSON_READER
    GTEST_SKIP() << "no JSON reader to read the dump back (Debian package nlohmann-json3-dev)";
#else
    using nlohmann::json;
    TempDir dir;
    const std::string piece = "FR\xff\xfe"
                              "ONT\x01"; // not UTF-8
    const std::string model = "Gr\xc3\xb6\xc3\x9f"
                              "e";
    const PlacementSpec placed{0, 0, true, 3, false, 90.0f, 10.5f, 0.1f, 4, 7, 2};
    const ProcessResult r = RunConverter(
        {"--dump", dir.Write("a.lay", LayBuilder().Y().W(1600.0f).O({piece}, {model}).T({placed}).Bytes())});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json doc = json::parse(r.out);
    EXPECT_EQ(doc["kind"], "lay");
    EXPECT_EQ(doc["modelNames"][0], model);
    EXPECT_EQ(doc["pieceNames"][0]["hex"], "4652fffe4f4e5401"); // every byte of the piece name
    EXPECT_EQ(doc["placements"][0],
              json::parse(R"({"record": "T", "modelIndex": 0, "pieceIndex": 0, "x": 10.5,
        "y": 0.1, "angle": 90.0, "writtenAngle": 270.0, "flag1": true, "flag2": false, "ordinalA": 2,
        "ordinalB": 3, "ordinalC": 1, "valueC": 7})"));
    EXPECT_EQ(doc["placementCounts"], json::parse(R"([{"model": 0, "piece": 0, "count": 1}])"));
    // A marker: its values, the styles as loaded, and the size models as summed.
    const ProcessResult m = RunConverter({"--dump", kExamples + "/markers/m1.mkr"});
    ASSERT_EQ(m.exitCode, 0) << m.err;
    const json marker = json::parse(m.out);
    EXPECT_EQ(marker["header"]["markerWidth"], 1651000);
    EXPECT_EQ(marker["options"]["percentValue"], 0.8);
    EXPECT_EQ(marker["styleEntries"][1]["sizes"][1], json::parse(R"({"sizeKey": 40, "sizeValue": 1,
        "sizeCount": 1, "copies": 1})"));
    EXPECT_EQ(marker["sizeModels"][1]["pieces"][0], json::parse(R"({"pieceName": "back", "sizeValue": 1,
        "sizeCount": 1, "quantity": 3, "extraQuantity": 0})"));
#endif
}

TEST(ConverterVerbose, ShowsRecordWarningsWithOffsetsAndWhyEachReaderRefused) {
    TempDir dir;
    LayBuilder lay; // records at offsets 0, 7, 13, 16 and 43
    lay.Y().Record('A', "xyz").Record('\x90', "").W(100.0f).RecordWithLength(1, 'W', std::string(24, '\0'));
    const std::string input = dir.Write("short.lay", lay.Bytes());
    const ProcessResult r = RunConverter({"-v", "-o", dir.MakeDir("out"), input});
    EXPECT_EQ(r.exitCode, 65);
    for (const std::string line :
         {"lay reader: record at offset 7 (0x7): WARNING - New not supported command found tagged as: 'A'",
          "lay reader: record at offset 13 (0xd): WARNING - New not supported command found tagged as: "
          "'\\x90'",
          "lay reader: record at offset 43 (0x2b): FATAL ERROR - While reading too short record tagged as: "
          "'W'",
          "lay reader: refused: Lay Record Over-read (record at offset 43 (0x2b))",
          "marker reader: refused: the separator line after the header is not \"%\""}) {
        EXPECT_NE(r.err.find("quorix-import: " + input + ": " + line + "\n"), std::string::npos)
            << line << "\n"
            << r.err;
    }
}

TEST(ConverterPreview, DrawsPiecesAtTheirPositionsWithKindAndAngle) {
#ifndef QUORIX_HAVE_PNG
    GTEST_SKIP() << "built without libpng (Debian package libpng-dev): the rendered preview cannot be read";
#else
    const std::string renderer = QUORIX_RSVG_CONVERT;
    if (renderer.empty()) {
        GTEST_SKIP()
            << "rsvg-convert (Debian package librsvg2-bin) is not installed: nothing renders the preview";
    }
    TempDir dir;
    const PlacementSpec p{0, 0, false, 1, false, 90.0f, 200.0f, 300.0f}; // pointer up
    const PlacementSpec t{0, 0, true, 1, true, 180.0f, 700.0f, 600.0f};  // turned by flag 1: pointer right
    const std::string lay = LayBuilder().Y().W(1000.0f).O({"FRONT"}, {"S"}).P({p}).T({t}).Bytes();
    const ProcessResult r = RunConverter({"--preview", dir.Path("lay.svg"), dir.Write("a.lay", lay)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(RunProcess({renderer, "-o", dir.Path("lay.png"), dir.Path("lay.svg")}).exitCode, 0);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, dir.Path("lay.png").c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));

    // Lay coordinates reach pixels through the view box, in which y runs downwards. Discs have a radius of
    // a fortieth of the width (25); the pointer is sampled 1.5 radii out, and behind the disc likewise.
    const std::string svg = TempDir::ReadFile(dir.Path("lay.svg"));
    double box[4] = {};
    ASSERT_EQ(std::sscanf(svg.c_str() + svg.find("viewBox=\"") + 9, "%lf %lf %lf %lf", &box[0], &box[1],
                          &box[2], &box[3]),
              4);
    const struct {
        const char* what;
        double x, y;
        unsigned colour;
    } samples[] = {{"empty lay", 450, 850, 0xf3efe0},   {"page", 900, 100, 0xffffff},
                   {"P disc", 200, 300, 0x3d7cc9},      {"P pointer", 200, 337.5, 0x222222},
                   {"behind P", 200, 262.5, 0xf3efe0},  {"T disc", 700, 600, 0xf08c28},
                   {"T pointer", 737.5, 600, 0x222222}, {"behind T", 662.5, 600, 0xf3efe0}};
    for (const auto& s : samples) {
        const auto column = static_cast<size_t>((s.x - box[0]) * image.width / box[2]);
        const auto row = static_cast<size_t>((-s.y - box[1]) * image.height / box[3]);
        ASSERT_TRUE(column < image.width && row < image.height) << s.what;
        for (size_t channel = 0; channel < 3; ++channel) {
            const int expected = static_cast<int>((s.colour >> (16 - 8 * channel)) & 0xff);
            EXPECT_NEAR(pixels[(row * image.width + column) * 3 + channel], expected, 12) << s.what;
        }
    }
#endif
}

TEST(ConverterBatch, SameFolderNameTwiceIsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    const std::string lay = LayBuilder().Y().Bytes();
    const ProcessResult r = RunConverter({"-o", dir.MakeDir("out"), kExamples + "/lays/W12.LAY",
                                          dir.Write("a/x.lay", lay), dir.Write("b/x#lay", lay)});
    EXPECT_EQ(r.exitCode, 64);
    EXPECT_NE(r.err.find("would both be written into " + dir.Path("out/x-lay")), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path("out")));
}

TEST(ConverterBatch, FailedFilesGiveTheMostSeriousStatusWhileTheOthersAreWritten) {
    TempDir dir;
    const std::string out = dir.MakeDir("out");
    const ProcessResult r =
        RunConverter({"-o", out, kExamples + "/lays/W12.LAY", dir.Write("notes.txt", "text\n"),
                      dir.Path("gone.lay"), kExamples + "/markers/m1.mkr"});
    EXPECT_EQ(r.exitCode, 66);
    EXPECT_EQ(r.out, "W12-LAY\tlay\t2\t5\tok\nnotes-txt\t-\t-\t-\terror 65\ngone-lay\t-\t-\t-\terror 66\n"
                     "m1-mkr\tmarker\t3\t0\tok\n");
    for (const std::string name : {"/W12-LAY", "/m1-mkr"}) {
        for (const std::string file : {"/csvimprt.txt", "/posimport.txt"}) {
            EXPECT_EQ(TempDir::ReadFile(out + name + file),
                      TempDir::ReadFile(kExamples + "/expected" + name + file));
        }
    }
    EXPECT_FALSE(TempDir::Exists(out + "/notes-txt") || TempDir::Exists(out + "/gone-lay"));
}

TEST(ConverterBatch, TwoJobsWriteWhatOneJobWrites) {
    TempDir dir;
    std::vector<std::string> inputs = {kExamples + "/lays/W12.LAY", kExamples + "/markers/m1.mkr"};
    for (int i = 0; i < 8; ++i) {
        const PlacementSpec placed{0, 0, false, 1, false, 0.0f, static_cast<float>(i), 1.0f};
        const std::string lay =
            LayBuilder().Y().O({"A"}, {"S", "M"}).P(std::vector<PlacementSpec>(i, placed)).Bytes();
        inputs.push_back(dir.Write("in/lay" + std::to_string(i) + ".lay", lay));
    }
    std::string printed[2];
    for (const int jobs : {1, 2}) {
        std::vector<std::string> args = {"--jobs", std::to_string(jobs), "-o",
                                         dir.MakeDir("out" + std::to_string(jobs))};
        args.insert(args.end(), inputs.begin(), inputs.end());
        const ProcessResult r = RunConverter(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        printed[jobs - 1] = r.out;
    }
    EXPECT_EQ(printed[0], printed[1]);
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path("out1"))) {
        if (entry.is_regular_file()) {
            const std::string relative = std::filesystem::relative(entry.path(), dir.Path("out1")).string();
            EXPECT_EQ(TempDir::ReadFile(entry.path()), TempDir::ReadFile(dir.Path("out2/" + relative)))
                << relative;
            ++files;
        }
    }
    EXPECT_EQ(files, 2 * inputs.size());
}

// On a terminal the progress line counts every file as it is done and is left at "N of N"; elsewhere there
// is none.
TEST(ConverterBatch, ProgressLineCountsEveryFileOnATerminalOnly) {
    TempDir dir;
    std::vector<std::string> args = {kConverter, "-o", dir.Path("out")};
    for (int i = 0; i < 6; ++i) {
        args.push_back(dir.Write("in/lay" + std::to_string(i) + ".lay", LayBuilder().Y().Bytes()));
    }
    ProcessOptions options;
    options.errorOnTerminal = true;
    const ProcessResult shown = RunProcess(args, options);
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    size_t at = 0;
    for (int done = 1; done <= 6; ++done) {
        at = shown.err.find("\r\033[Kquorix-import: " + std::to_string(done) + " of 6 files converted", at);
        ASSERT_NE(at, std::string::npos) << done << " of 6 is never shown:\n" << shown.err;
    }
    const std::string last = "\r\033[Kquorix-import: 6 of 6 files converted\n";
    ASSERT_GE(shown.err.size(), last.size());
    EXPECT_EQ(shown.err.substr(shown.err.size() - last.size()), last) << "the line stays at 6 of 6";
    const ProcessResult piped = RunProcess(args);
    EXPECT_EQ(piped.err, "");
}
