// Reading input files: binary read primitives (CR LF folding with its carried byte, skips, the end-of-file
// error, a folder given as the file) and text files (text-mode reading, fields with their 255-character
// limit).
#include "files/FileStream.h"
#include "files/QuorBinaryFile.h"
#include "files/QuorTextFile.h"
#include "files/QuorUnhandledFormatFeatureException.h"
#include "log/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>
#include <vector>

using namespace quorix;
using quorix::detail::FileStream;

namespace {
using namespace std::string_literals;
const std::string kEof = "Exceeding End of File while reading file...";

struct BinaryProbe : QuorBinaryFile {
    bool Parse() override { return true; }
    using QuorBinaryFile::Position;
};

using Lines = std::vector<std::string>;
constexpr size_t kBufferSize = 65536;

struct TextProbe : QuorTextFile {
    bool Parse() override { return true; }
};

class Reading : public ::testing::Test {
protected:
    void SetUp() override { Log::DisableFile(); }
    void OpenOn(QuorFile& reader, const std::string& bytes) {
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
    TextProbe textFile;
    int files = 0;
};

TEST_F(Reading, FoldsCrLfPairsUpToTheEndOfTheFile) {
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

TEST_F(Reading, SkipAndTheCarriedByte) {
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
TEST_F(Reading, AFolderIsRefusedAsAFileThatCannotBeOpened) {
    EXPECT_FALSE(probe.Load(dir.MakeDir("lays")));
    EXPECT_EQ(std::make_tuple(probe.GetStoppedAt(), probe.GetOpenError()),
              std::make_tuple(QuorFile::Step::Open, std::error_code(EISDIR, std::system_category())));
}

// The stream in text mode reads through the runtime's translation: pairs fold and the end mark ends the
// file. A CR held at the end of a read chunk goes before the whole next chunk, one byte more than a chunk,
// which the stream's buffer must take.
TEST(TextStream, ReadsThroughTheTextModeTranslation) {
    const std::string wide = std::string(kBufferSize - 1, 'a') + '\r' + std::string(kBufferSize, 'b');
    const std::pair<std::string, std::string> rows[] = {
        {"A\r\nB\rC\n\r\r\nD\n\rE\x1A\nF\n", "A\nB\rC\n\r\nD\n\rE"}, {wide, wide}};
    for (const auto& [bytes, expected] : rows) {
        FileStream stream;
        stream.OpenMemory(bytes, FileStream::Mode::Text);
        std::string read(bytes.size() + 1, '?');
        read.resize(stream.Read(&read[0], read.size()));
        EXPECT_TRUE(read == expected) << testing::PrintToString(expected.substr(0, 20));
    }
}

TEST_F(Reading, FieldsEndAtTheirDelimiterAndAllAreEmptyAfterAnOverlongOne) {
    // The long field straddles the end of a read buffer, or one of 255 ends exactly at it. A negative flag
    // is set.
    for (const size_t before : {kBufferSize - 100, kBufferSize - 255}) {
        for (const size_t length : {255u, 256u}) {
            const std::string filler(before, '\n');
            OpenOn(textFile, filler + std::string(length, 'x') + "\n7\n0.8\n-2\nA\r\nB C\0D\nlast\n"s);
            std::string text;
            for (size_t i = 0; i < filler.size(); ++i) {
                textFile.ReadString(text);
            }
            const bool fits = length == 255;
            EXPECT_EQ(textFile.ReadString(text), fits);
            EXPECT_EQ(text, std::string(255, 'x'));
            int number = -1;
            float real = -1.0f;
            bool flag = !fits;
            Lines texts(3, "?");
            const std::vector<bool> results{textFile.ReadInt(number),      textFile.ReadFloat(real),
                                            textFile.ReadBool(flag),       textFile.ReadString(texts[0], ' '),
                                            textFile.ReadString(texts[1]), textFile.ReadString(texts[2]),
                                            textFile.ReadString(text)};
            // Once the last line is read, a read finds nothing and fails.
            EXPECT_EQ(results, (std::vector<bool>{fits, fits, fits, fits, fits, fits, false}));
            // A line feed is an ordinary character when a space ends the field; a NUL ends the text, not the
            // field.
            EXPECT_EQ(std::tie(number, real, flag, texts),
                      fits ? std::make_tuple(7, 0.8f, true, Lines{"A\nB", "C", "last"})
                           : std::make_tuple(0, 0.0f, false, Lines(3, "")));
        }
    }
}
} // namespace
