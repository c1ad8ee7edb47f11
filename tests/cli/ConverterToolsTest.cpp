// The converter's investigation and batch tools, run as a process: --dump, --verbose, --preview, batches.
#include "OnWindows.h"
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

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
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

TEST(ConverterPreview, DrawsTheSheetLargeWithPiecesInPlaceAndFarPiecesAtItsEdge) {
#ifndef QUORIX_HAVE_PNG
    GTEST_SKIP() << "built without libpng (Debian package libpng-dev): the rendered preview cannot be read";
#else
    const std::string renderer = QUORIX_RSVG_CONVERT;
    if (renderer.empty()) {
        GTEST_SKIP()
            << "rsvg-convert (Debian package librsvg2-bin) is not installed: nothing renders the preview";
    }
    TempDir dir;
    // 2,000 pieces on a 6,000 x 1,640 sheet: 'P' pieces 120 apart along and 40 across (in records of 700;
    // one holds at most 744), a 'T' piece among them, and one ten kilometres along, which must not stretch
    // the drawing.
    LayBuilder dense;
    dense.Y().W(1640.0f, 6000.0f).O({"FRONT", "\xC4RMEL"}, {"38"}); // a Latin-1 name
    std::vector<PlacementSpec> grid;
    for (int i = 0; i < 1998; ++i) {
        grid.push_back(
            {0, i % 2, false, 1, false, 90.0f, 60.0f + 120.0f * (i % 50), 40.0f + 40.0f * (i / 50)});
    }
    for (size_t from = 0; from < grid.size(); from += 700) {
        dense.P({grid.begin() + from, grid.begin() + std::min(from + 700, grid.size())});
    }
    dense.T({{0, 0, false, 1, false, 0.0f, 3060.0f, 840.0f}})
        .P({{0, 0, false, 1, false, 0.0f, 1e7f, 800.0f}});
    // Each row: the lay; its sheet's length and width and its number of pieces; samples (a point of the
    // lay, moved by some pixels, and the colour there); text that the picture holds.
    const struct {
        std::string lay;
        double sheet[3];
        std::vector<std::tuple<const char*, double, double, int, int, unsigned>> samples;
        std::string text;
    } rows[] = {
        {kExamples + "/lays/SKIP-01.LAY",
         {1000, 2540, 3},
         {{"COLLAR#2 at the origin", 0, 0, 0, 0, 0x3d7cc9},
          {"SLEEVE.R", 123.4567, 45.5, 0, 0, 0x3d7cc9},
          {"arrow over the top edge to SLEEVE.L at y 999,999.9", 0, 2540, 0, -14, 0x8e24aa}},
         "x 1e-05, y 999999.9, angle -90"}, // hover values as --dump writes them, not 9.99999975e-06
        {dir.Write("dense.lay", dense.Bytes()),
         {6000, 1640, 2000},
         {{"a 'P' piece", 60, 40, 0, 0, 0x3d7cc9},
          {"the 'T' piece", 3060, 840, 0, 0, 0xf08c28},
          {"arrow right of the sheet to the far piece", 6000, 800, 14, 0, 0x8e24aa}},
         "\xC3\x84RMEL / 38"}, // the name in Windows-1252
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.lay);
        const ProcessResult r = RunConverter({"--preview", dir.Path("lay.svg"), row.lay});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        ASSERT_EQ(RunProcess({renderer, "-o", dir.Path("lay.png"), dir.Path("lay.svg")}).exitCode, 0);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_file(&image, dir.Path("lay.png").c_str()));
        image.format = PNG_FORMAT_RGB;
        std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
        const auto near = [&](size_t column, size_t line, unsigned colour, int within) {
            const unsigned char* rgb = &pixels[(line * image.width + column) * 3];
            return std::abs(rgb[0] - int(colour >> 16)) <= within &&
                   std::abs(rgb[1] - int(colour >> 8 & 0xff)) <= within &&
                   std::abs(rgb[2] - int(colour & 0xff)) <= within;
        };
        // The sheet is the box around the pixels of its colour (not the blends of edges with the page).
        size_t box[4] = {image.width, image.height, 0, 0}; // left, top, right, bottom
        for (size_t at = 0; at < size_t{image.width} * image.height; ++at) {
            if (near(at % image.width, at / image.width, 0xf3efe0, 2)) {
                box[0] = std::min(box[0], at % image.width), box[1] = std::min(box[1], at / image.width);
                box[2] = std::max(box[2], at % image.width), box[3] = at / image.width;
            }
        }
        EXPECT_GE(std::min(image.width, image.height), 400u);
        EXPECT_GE((box[2] - box[0]) * (box[3] - box[1]), image.width * image.height * 6 / 10);
        for (const auto& [what, x, y, right, down, colour] : row.samples) {
            const double column = box[0] + x / row.sheet[0] * (box[2] - box[0]) + right;
            const double line = box[3] - y / row.sheet[1] * (box[3] - box[1]) + down;
            EXPECT_TRUE(near(size_t(column + 0.5), size_t(line + 0.5), colour, 12))
                << what << " at " << column << ", " << line;
        }
        const std::string svg = TempDir::ReadFile(dir.Path("lay.svg"));
        EXPECT_NE(svg.find(row.text), std::string::npos) << row.text;
        size_t hovers = 0; // every piece keeps its hover text, whether or not its label found room
        for (size_t at = svg.find("<g>\n<title>"); at != std::string::npos;
             at = svg.find("<g>\n<title>", at + 1)) {
            ++hovers;
        }
        EXPECT_EQ(hovers, row.sheet[2]);
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
    EXPECT_EQ(RunProcess(args).err, "");
    QUORIX_SKIP_ON_WINDOWS("a terminal, which Wine's console draws itself, not with the converter's bytes");
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
}
