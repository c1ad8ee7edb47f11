// Binary read primitives: CR LF folding with its carried byte, strings, skips and the end-of-file error.
#include "files/QuorBinaryFile.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "log/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>
#include <vector>

namespace {
using namespace std::string_literals;
const std::string kEof = "Exceeding End of File while reading file...";

struct BinaryProbe : QuorBinaryFile {
    bool Parse() override { return true; }
    using QuorBinaryFile::Position;
};

class BinaryReading : public ::testing::Test {
protected:
    void SetUp() override { Log::DisableFile(); }
    void OpenOn(BinaryProbe& reader, const std::string& bytes) {
        ASSERT_TRUE(reader.Open(dir.Write(std::to_string(++files), bytes)));
    }
    // The `count` bytes read, or the message of the end-of-file error.
    static std::string Read(BinaryProbe& reader, int count) {
        std::string out(static_cast<size_t>(count), '?');
        try {
            reader.ReadBytes(out.data(), count);
        } catch (const QuorUnhandledFormatFeatureException& e) {
            return e.GetMessage();
        }
        return out;
    }
    TempDir dir;
    BinaryProbe probe;
    int files = 0;
};

TEST_F(BinaryReading, FoldsCrLfPairsUpToTheEndOfTheFile) {
    // Reads of `count` bytes: what each delivers and the file position after it (-1 once failed).
    const std::pair<std::string, std::vector<std::tuple<int, std::string, int64_t>>> cases[] = {
        {"A\rB", {{2, "A\r", 3}, {1, "B", 3}, {1, kEof, -1}}}, // the byte after the CR is carried
        {"A\r\r\n", {{2, "A\r", 3}, {1, "\n", 4}}},            // a carried CR pairs with the next LF
        {"\r\nA\r\nB", {{4, "\nA\nB", 6}}},                    // a pair split between two refills
        {"A\r", {{2, kEof, -1}}}};                             // the CR asks for a byte past the end
    for (const auto& [file, reads] : cases) {
        OpenOn(probe, file);
        for (const auto& [count, bytes, position] : reads) {
            EXPECT_EQ(Read(probe, count), bytes) << testing::PrintToString(file);
            EXPECT_EQ(probe.Position(), position) << testing::PrintToString(file);
        }
    }
}

TEST_F(BinaryReading, ReadStringCountsTheBytesItDelivers) {
    OpenOn(probe, "AB\0\0A\r\nB\0"s);
    std::vector<std::string> texts(3, "old");
    const std::vector<int> counts{probe.ReadString(texts[0]), probe.ReadString(texts[1]),
                                  probe.ReadString(texts[2])};
    EXPECT_EQ(counts, std::vector<int>({3, 1, 4})); // the NUL included; a folded pair counts once
    EXPECT_EQ(texts, std::vector<std::string>({"AB", "", "A\nB"}));
}

TEST_F(BinaryReading, SkipAndTheCarriedByte) {
    OpenOn(probe, "\r\nABCD");
    probe.Skip(2); // the pair counts as two bytes
    EXPECT_EQ(Read(probe, 1), "A");
    probe.Skip(0);
    probe.Skip(-2);
    EXPECT_EQ(Read(probe, 1), "B");
    probe.Skip(10);
    EXPECT_EQ(Read(probe, 1), kEof);
    OpenOn(probe, "A\rBCD");
    EXPECT_EQ(Read(probe, 2), "A\r");
    probe.Skip(1); // the carried byte still comes first
    EXPECT_EQ(Read(probe, 2), "BD");
    // It belongs to one reader and does not outlive an opening.
    OpenOn(probe, "A\rB");
    EXPECT_EQ(Read(probe, 2), "A\r");
    BinaryProbe other;
    OpenOn(other, "X");
    EXPECT_EQ(Read(other, 1), "X");
    OpenOn(probe, "Y");
    EXPECT_EQ(Read(probe, 1), "Y");
}

// A folder given as the file to read is a file that cannot be opened, not an empty one.
TEST_F(BinaryReading, AFolderIsRefusedAsAFileThatCannotBeOpened) {
    EXPECT_FALSE(probe.Load(dir.MakeDir("lays")));
    EXPECT_EQ(std::make_tuple(probe.GetStoppedAt(), probe.GetOpenError()),
              std::make_tuple(QuorFile::Step::Open, EISDIR));
}

} // namespace
