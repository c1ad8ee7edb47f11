// Reading a file's bytes from memory gives what reading the file gives: the same verdicts, offsets and
// import files, for the bundled examples, every fuzz seed and a lay whose records straddle the read
// buffer (skips and folded CR LF pairs across its ends).
#include "entry/QuorImport.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "log/Log.h"
#include "platform/PathMapping.h"
#include "support/LayBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace quorix;

namespace {
namespace fs = std::filesystem;

// What an import of `path` makes, read from the file or from `bytes`, written into `out`.
std::string ImportOf(const std::string& path, const std::string* bytes, const std::string& out) {
    const std::string_view view = bytes != nullptr ? std::string_view(*bytes) : std::string_view();
    ReadOptions options;
    options.diagnostics = true;
    options.bytes = bytes != nullptr ? &view : nullptr;
    const ImportReading reading = ReadImport(path, options);
    std::string seen = std::to_string(static_cast<int>(reading.kind)) + "|" + reading.layVerdict.message +
                       "|" + std::to_string(reading.layVerdict.offset) + "|" + reading.markerVerdict.message +
                       "|" + reading.orderName + "|";
    for (const ReadDiagnostic& d : reading.diagnostics) {
        seen += std::to_string(d.offset) + d.line + "|";
    }
    if (reading.Loaded()) {
        try {
            WriteImport(reading, ImportPaths::InFolder(paths::FromCallerPath(out)),
                        Placing::EachWhenComplete);
        } catch (const QuorUnhandledFormatFeatureException& error) {
            seen += error.GetMessage();
        }
        seen += TempDir::ReadFile(out + "/csvimprt.txt") + "|" + TempDir::ReadFile(out + "/posimport.txt");
    }
    return seen;
}

TEST(MemoryInput, ReadsAsTheFileReads) {
    Log::DisableFile();
    TempDir dir;
    std::vector<std::string> inputs;
    for (const char* folder : {"/examples/lays", "/examples/markers", "/fuzz/corpus"}) {
        for (const auto& entry : fs::recursive_directory_iterator(std::string(QUORIX_SOURCE_DIR) + folder)) {
            if (entry.is_regular_file()) {
                inputs.push_back(entry.path().string());
            }
        }
    }
    // Records of nearly the largest length, skipped whole, so that skips and entries cross the ends of
    // the read buffer; entries with CR LF pairs fold across them too.
    LayBuilder straddling;
    straddling.Y();
    for (int i = 0; i < 5; ++i) {
        straddling.Record('A', std::string(30000, static_cast<char>('\r' + i % 2)));
    }
    straddling.O({"FRONT"}, {"S"})
        .P(std::vector<PlacementSpec>(
            700, PlacementSpec{0, 0, false, 1, false, 0.0f, 13.0f, 10.0f})); // 13 and 10: CR and LF bytes
    inputs.push_back(dir.Write("straddling.lay", straddling.Bytes()));
    ASSERT_GT(inputs.size(), 40u);
    for (const std::string& input : inputs) {
        const std::string bytes = TempDir::ReadFile(input);
        EXPECT_EQ(ImportOf(input, &bytes, dir.MakeDir("memory")),
                  ImportOf(input, nullptr, dir.MakeDir("file")))
            << input;
    }
}
} // namespace
