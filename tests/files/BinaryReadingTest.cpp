// Binary read primitives: CR LF folding with its carried byte, big-endian values, strings, skips and the
// end-of-file error.
#include "files/QuorBinaryFile.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "log/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

class BinaryProbe : public QuorBinaryFile {
public:
    bool Parse() override { return true; }
    using QuorBinaryFile::Position;
};

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

class BinaryReading : public ::testing::Test {
protected:
    void SetUp() override { Log::DisableFile(); }

    void OpenOn(BinaryProbe& probe, const std::string& bytes) {
        ASSERT_TRUE(probe.Open(dir.Write("f" + std::to_string(++fileCount) + ".bin", bytes)));
    }
    static std::string Read(BinaryProbe& probe, int count) {
        std::string out(static_cast<size_t>(count), '?');
        probe.ReadBytes(out.data(), count);
        return out;
    }

    TempDir dir;
    int fileCount = 0;
};

struct ReadStep {
    int count;
    std::string expected;
    int64_t positionAfter;
};

struct FoldCase {
    const char* name;
    std::string file;
    std::vector<ReadStep> steps;
};

TEST_F(BinaryReading, FoldsCrLfPairsIntoLineFeeds) {
    const std::string lf = "\n";
    const std::string cr = "\r";
    const FoldCase cases[] = {
        {"pair at start", Bytes({0x0D, 0x0A, 0x41, 0x42, 0x43}), {{4, lf + "ABC", 5}}},
        {"CR last in buffer, LF next", Bytes({0x41, 0x0D, 0x0A}), {{2, "A" + lf, 3}}},
        {"CR last in buffer, other byte carried", Bytes({0x41, 0x0D, 0x42}), {{2, "A" + cr, 3}, {1, "B", 3}}},
        {"carried byte leads a longer read",
         Bytes({0x41, 0x0D, 0x42, 0x43}),
         {{2, "A" + cr, 3}, {2, "BC", 4}}},
        {"carried CR pairs with the next LF",
         Bytes({0x41, 0x0D, 0x0D, 0x0A}),
         {{2, "A" + cr, 3}, {1, lf, 4}}},
        {"lone CR inside buffer stays", Bytes({0x41, 0x0D, 0x42, 0x43}), {{3, "A" + cr + "B", 3}}},
        {"CR CR LF", Bytes({0x0D, 0x0D, 0x0A, 0x41}), {{3, cr + lf + "A", 4}}},
        {"CR CR LF, pair completed by peek", Bytes({0x0D, 0x0D, 0x0A}), {{2, cr + lf, 3}}},
        {"LF CR LF", Bytes({0x0A, 0x0D, 0x0A, 0x41}), {{2, lf + lf, 3}, {1, "A", 4}}},
        {"pair split across a refill", Bytes({0x0D, 0x0A, 0x41, 0x0D, 0x0A}), {{3, lf + "A" + lf, 5}}},
        {"several refills",
         Bytes({0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x41}),
         {{5, lf + lf + lf + lf + "A", 9}}},
        {"single byte reads", Bytes({0x0D, 0x0A, 0x0D, 0x42}), {{1, lf, 2}, {1, cr, 4}, {1, "B", 4}}}};
    for (const FoldCase& c : cases) {
        SCOPED_TRACE(c.name);
        BinaryProbe probe;
        OpenOn(probe, c.file);
        for (const ReadStep& step : c.steps) {
            EXPECT_EQ(Read(probe, step.count), step.expected);
            EXPECT_EQ(probe.Position(), step.positionAfter);
        }
    }
}

TEST_F(BinaryReading, ReadingPastTheEndThrows) {
    struct EndCase {
        const char* name;
        std::string file;
        std::function<void(BinaryProbe&)> read;
    };
    char four[4];
    std::string text;
    short narrow = 0;
    int wide = 0;
    bool flag = false;
    char byte = 0;
    const EndCase cases[] = {
        {"CR as last byte of the file", Bytes({0x41, 0x0D}), [](BinaryProbe& p) { Read(p, 2); }},
        {"CR as last byte, single read", Bytes({0x0D}), [](BinaryProbe& p) { Read(p, 1); }},
        {"carried byte was the last", Bytes({0x41, 0x0D, 0x42}),
         [](BinaryProbe& p) {
             Read(p, 2);
             Read(p, 1);
             Read(p, 1);
         }},
        {"ReadBytes", Bytes({0x41, 0x42}), [](BinaryProbe& p) { Read(p, 3); }},
        {"ReadByte", "", [&](BinaryProbe& p) { p.ReadByte(byte); }},
        {"ReadInt8", "", [&](BinaryProbe& p) { p.ReadInt8(wide); }},
        {"ReadBool", "", [&](BinaryProbe& p) { p.ReadBool(flag); }},
        {"ReadInt16 short", Bytes({0x01}), [&](BinaryProbe& p) { p.ReadInt16(narrow); }},
        {"ReadInt16 int, folded short", Bytes({0x0D, 0x0A}), [&](BinaryProbe& p) { p.ReadInt16(wide); }},
        {"ReadInt32", Bytes({1, 2, 3}), [&](BinaryProbe& p) { p.ReadInt32(four); }},
        {"ReadF32", Bytes({1, 2, 3}), [](BinaryProbe& p) { p.ReadF32(); }},
        {"ReadString without NUL", "AB", [&](BinaryProbe& p) { p.ReadString(text); }}};
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        BinaryProbe probe;
        OpenOn(probe, c.file);
        try {
            c.read(probe);
            ADD_FAILURE() << "no exception";
        } catch (const QuorUnhandledFormatFeatureException& e) {
            EXPECT_EQ(e.GetMessage(), "Exceeding End of File while reading file...");
        }
    }
}

TEST_F(BinaryReading, ConvertsBigEndianValues) {
    BinaryProbe probe;
    OpenOn(probe, Bytes({0xFF, 0xFE, 0x80, 0x00, 0x7F, 0xFF, 0x0D, 0x0A, 0x05, 0xFF, 0x80, 0x02, 0x00,
                         0x01, 0x02, 0x03, 0x04, 0x42, 0xB4, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFE}));
    int wide = 0;
    short narrow = 0;
    probe.ReadInt16(wide);
    EXPECT_EQ(wide, -2);
    probe.ReadInt16(narrow);
    EXPECT_EQ(narrow, -32768);
    probe.ReadInt16(wide);
    EXPECT_EQ(wide, 32767);
    probe.ReadInt16(wide); // 0D 0A folds to one byte: 0A 05
    EXPECT_EQ(wide, 0x0A05);
    probe.ReadInt8(wide);
    EXPECT_EQ(wide, -1);
    probe.ReadInt8(wide);
    EXPECT_EQ(wide, -128);
    bool flag = false;
    probe.ReadBool(flag);
    EXPECT_TRUE(flag);
    probe.ReadBool(flag);
    EXPECT_FALSE(flag);
    char four[4];
    probe.ReadInt32(four);
    EXPECT_EQ(std::string(four, 4), Bytes({4, 3, 2, 1}));
    EXPECT_EQ(probe.ReadF32(), 90.0f);
    EXPECT_EQ(probe.ReadWord(), 0xFFFFFFFEu);
}

TEST_F(BinaryReading, ReadsNulTerminatedStrings) {
    BinaryProbe probe;
    OpenOn(probe, Bytes({0x41, 0x42, 0x00, 0x00, 0x41, 0x0D, 0x0A, 0x42, 0x00, 0x43}));
    std::string value = "old";
    EXPECT_EQ(probe.ReadString(value), 3);
    EXPECT_EQ(value, "AB");
    EXPECT_EQ(probe.ReadString(value), 1);
    EXPECT_EQ(value, "");
    EXPECT_EQ(probe.ReadString(value), 4); // one count per folded byte
    EXPECT_EQ(value, "A\nB");
    EXPECT_EQ(probe.Position(), 9);
}

TEST_F(BinaryReading, SkipMovesForwardOverRawBytesOnly) {
    BinaryProbe probe;
    OpenOn(probe, Bytes({0x0D, 0x0A, 0x41, 0x42, 0x43, 0x44}));
    char byte = 0;
    probe.Skip(0);
    EXPECT_EQ(probe.Position(), 0);
    probe.Skip(2); // the pair counts as two bytes
    probe.ReadByte(byte);
    EXPECT_EQ(byte, 'A');
    probe.Skip(-2);
    EXPECT_EQ(probe.Position(), 3);
    probe.ReadByte(byte);
    EXPECT_EQ(byte, 'B');
    probe.Skip(10);
    EXPECT_THROW(probe.ReadByte(byte), QuorUnhandledFormatFeatureException);

    // A byte carried from the last read still comes first after a skip.
    OpenOn(probe, Bytes({0x41, 0x0D, 0x42, 0x43, 0x44}));
    EXPECT_EQ(Read(probe, 2), "A\r");
    probe.Skip(1);
    EXPECT_EQ(Read(probe, 2), "BD");
}

TEST_F(BinaryReading, CarriedByteBelongsToOneReaderAndOneOpening) {
    BinaryProbe first;
    OpenOn(first, Bytes({0x41, 0x0D, 0x42}));
    EXPECT_EQ(Read(first, 2), "A\r");
    BinaryProbe second;
    OpenOn(second, "X");
    EXPECT_EQ(Read(second, 1), "X");
    OpenOn(first, "Y");
    EXPECT_EQ(Read(first, 1), "Y");
}

} // namespace
