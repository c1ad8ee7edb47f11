// Text mode as the host's runtime does it. Reading a file given in chunks: CR LF pairs fold, a lone CR
// stays, 0x1A ends the file, and a CR that ends a chunk waits for the next one. Writing into memory: each
// line feed is stored as CR LF, whatever stands before it.
#include "runtime/TextModeReader.h"
#include "runtime/TextModeWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quorix;

namespace {
using quorix::runtime::TextModeReader;

struct Row {
    const char* name;
    std::vector<std::string> chunks; // the file, as it comes; an empty chunk after them is its end
    std::string read;
};

// A row prints as its name, so that the test names stay the same from build to build.
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

const Row kRows[] = {
    {"PairsFoldLoneCarriageReturnsStay", {"A\r\nB\rC\n\r\r\nD\n\rE"}, "A\nB\rC\n\r\nD\n\rE"},
    {"EndMarkEndsTheFile", {"E\x1A\nF\n", "G"}, "E"},
    {"PairSplitBetweenChunks", {"z\r", "\ntail"}, "z\ntail"},
    {"HeldCarriageReturnBeforeAnotherByte", {"z\r", "Btail"}, "z\rBtail"},
    {"HeldCarriageReturnBeforeTheEndMark", {"z\r", "\x1Atail"}, "z\r"},
    {"HeldCarriageReturnAtTheEnd", {"z\r"}, "z\r"},
    {"HeldCarriageReturnBeforeAPair", {"A\r", "\r\n"}, "A\r\n"},
    {"HeldCarriageReturnBeforeAChunkThatTranslatesWhole", {"\r", "BCD", "\r", "\r"}, "\rBCD\r\r"},
    {"EmptyFile", {}, ""},
};

class TextModeReading : public testing::TestWithParam<Row> {};

TEST_P(TextModeReading, GivesWhatTheRuntimeReads) {
    TextModeReader reader;
    std::string read;
    std::vector<std::string> chunks = GetParam().chunks;
    chunks.emplace_back(); // the end of the file
    for (const std::string& chunk : chunks) {
        if (reader.Ended()) {
            break;
        }
        // Exactly the room promised, so that a sanitizer sees a byte written beyond it.
        std::vector<char> out(chunk.size() + 1);
        read.append(out.data(), reader.Translate(chunk.data(), chunk.size(), out.data()));
    }
    EXPECT_TRUE(reader.Ended());
    EXPECT_EQ(read, GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Files, TextModeReading, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& row) { return std::string(row.param.name); });

// Texts written one after another, a lone CR among them: long ones are stored in pieces, and the sink
// grows while it holds the texts before them (line feeds at the edge of a piece and of its first 64 KiB).
TEST(TextModeWriting, StoresEachLineFeedAsCrLf) {
    const std::string ab = std::string(32767, 'a') + "\n" + std::string(32767, 'b') + "\n";
    const std::string abStored = std::string(32767, 'a') + "\r\n" + std::string(32767, 'b') + "\r\n";
    quorix::runtime::MemorySink sink;
    quorix::runtime::TextModeWriter writer(sink);
    for (const std::string& text : {std::string("x\r\n"), ab, ab}) {
        writer.Write(text);
    }
    EXPECT_TRUE(sink.Bytes() == "x\r\r\n" + abStored + abStored);
}

} // namespace
