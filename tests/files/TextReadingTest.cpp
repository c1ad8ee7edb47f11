// Text files: text-mode translation, the version line and the field readers with their 255-character limit.
#include "files/QuorTextFile.h"
#include "log/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class TextProbe : public QuorTextFile {
public:
    bool Parse() override { return true; }
};

// A reader that accepts the marker file's versions only.
class MarkerVersionProbe : public TextProbe {
public:
    bool IsSupportedVersion() const override {
        return QuorTextFile::IsSupportedVersion() &&
               (formatVersion == 10 || formatVersion == 12 || formatVersion == 18 || formatVersion == 19);
    }
};

class TextReading : public ::testing::Test {
protected:
    void SetUp() override { Log::DisableFile(); }

    void OpenOn(QuorTextFile& probe, const std::string& bytes) {
        ASSERT_TRUE(probe.Open(dir.Write("f" + std::to_string(++fileCount) + ".txt", bytes)));
    }
    // Every field that reads successfully with the line feed as delimiter.
    std::vector<std::string> ReadLines(const std::string& bytes) {
        TextProbe probe;
        OpenOn(probe, bytes);
        std::vector<std::string> lines;
        std::string line;
        while (lines.size() < 1000 && probe.ReadString(line)) {
            lines.push_back(line);
        }
        EXPECT_EQ(line, "");
        return lines;
    }

    TempDir dir;
    int fileCount = 0;
};

using Lines = std::vector<std::string>;

TEST_F(TextReading, TranslatesLikeATextModeStream) {
    const struct {
        const char* name;
        std::string file;
        Lines expected;
    } cases[] = {{"CR LF reads as LF", "A\r\nB\r\n", {"A", "B"}},
                 {"lone CR stays", "A\rB\n\r", {"A\rB", "\r"}},
                 {"CR CR LF", "A\r\r\nB", {"A\r", "B"}},
                 {"LF CR", "A\n\rB\n", {"A", "\rB"}},
                 {"Ctrl-Z ends the file", "A\nB\x1A\nC\n", {"A", "B"}},
                 {"Ctrl-Z after a CR", "A\r\x1A\r\n", {"A\r"}},
                 {"Ctrl-Z first", "\x1A\nA\n", {}},
                 {"empty file", "", {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadLines(c.file), c.expected);
    }
}

// Lines of 200 characters filling `file` up to at most `end` bytes, each also added to `lines`.
void Fill(std::string& file, Lines& lines, size_t end) {
    while (file.size() + 202 <= end) {
        lines.push_back(std::string(200, static_cast<char>('a' + lines.size() % 26)));
        file += lines.back() + "\r\n";
    }
}

constexpr size_t kBufferSize = 65536;

TEST_F(TextReading, TranslatesAcrossTheReadBufferBoundary) {
    for (const char next : {'\n', 'B', '\x1A'}) {
        SCOPED_TRACE(static_cast<int>(next));
        std::string file;
        Lines expected;
        Fill(file, expected, kBufferSize - 1);
        const std::string last(kBufferSize - 1 - file.size(), 'z');
        file += last + '\r' + next + "tail\r\n"; // the CR is the last byte before the boundary
        ASSERT_EQ(file[kBufferSize - 1], '\r');
        if (next == '\n') {
            expected.insert(expected.end(), {last, "tail"});
        } else {
            expected.push_back(next == 'B' ? last + "\rBtail" : last + '\r');
        }
        const Lines lines = ReadLines(file);
        ASSERT_EQ(lines.size(), expected.size());
        EXPECT_EQ(lines.back(), expected.back());
        EXPECT_TRUE(lines == expected);
    }
}

TEST_F(TextReading, FieldLimitAcrossTheReadBufferBoundary) {
    for (const size_t length : {255u, 256u}) {
        std::string file;
        Lines filler;
        Fill(file, filler, kBufferSize - 50);
        ASSERT_TRUE(file.size() < kBufferSize && file.size() + 255 > kBufferSize); // straddles the boundary
        file += std::string(length, 'x') + "\nnext\n";
        TextProbe probe;
        OpenOn(probe, file);
        std::string value;
        for (size_t i = 0; i < filler.size(); ++i) {
            probe.ReadString(value);
        }
        EXPECT_EQ(probe.ReadString(value), length == 255);
        EXPECT_EQ(value, std::string(255, 'x'));
        probe.ReadString(value);
        EXPECT_EQ(value, length == 255 ? "next" : "");
    }
}

TEST_F(TextReading, VersionLine) {
    const struct {
        std::string file;
        int32_t version;
        bool anyVersion;    // a reader that accepts every version found
        bool markerVersion; // a reader that accepts 10, 12, 18 and 19
    } cases[] = {{"%19\r\n1\r\n", 19, true, true}, {"%11\n", 11, true, false},    {"19\n", -1, false, false},
                 {"%\n", 0, true, false},          {"%x\n", 0, true, false},      {"", -1, false, false},
                 {"%12", 12, true, true},          {"% 18abc\n", 18, true, true}, {"%-3\n", -3, false, false},
                 {" %19\n", -1, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TextProbe any;
        OpenOn(any, c.file);
        EXPECT_EQ(any.ReadVersionLine(), c.anyVersion);
        EXPECT_EQ(any.GetFormatVersion(), c.version);
        MarkerVersionProbe marker;
        OpenOn(marker, c.file);
        EXPECT_EQ(marker.ReadVersionLine(), c.markerVersion);
    }
}

TEST_F(TextReading, FieldOf255CharactersIsTheLimit) {
    TextProbe exact;
    OpenOn(exact, std::string(255, 'x') + "\nnext");
    std::string value;
    EXPECT_TRUE(exact.ReadString(value));
    EXPECT_EQ(value, std::string(255, 'x'));
    EXPECT_TRUE(exact.ReadString(value));
    EXPECT_EQ(value, "next");

    TextProbe overlong;
    OpenOn(overlong, std::string(255, 'y') + "7\n12\n1.5\n1\nnext\n");
    EXPECT_FALSE(overlong.ReadString(value));
    EXPECT_EQ(value, std::string(255, 'y'));
    int number = -1;
    float real = -1.0f;
    EXPECT_FALSE(overlong.ReadInt(number));
    EXPECT_EQ(number, 0);
    EXPECT_FALSE(overlong.ReadFloat(real));
    EXPECT_EQ(real, 0.0f);
    EXPECT_FALSE(overlong.ReadString(value));
    EXPECT_EQ(value, "");
}

TEST_F(TextReading, FieldEndsOnlyAtItsDelimiter) {
    TextProbe probe;
    static const char kFile[] = "AB\r\nCD EF\nG\0H\n42\0"
                                "7\n";
    OpenOn(probe, std::string(kFile, sizeof kFile - 1));
    std::string value;
    EXPECT_TRUE(probe.ReadString(value, ' '));
    EXPECT_EQ(value, "AB\nCD");
    EXPECT_TRUE(probe.ReadString(value));
    EXPECT_EQ(value, "EF");
    EXPECT_TRUE(probe.ReadString(value)); // a NUL ends the text but not the field
    EXPECT_EQ(value, "G");
    int number = 0;
    EXPECT_TRUE(probe.ReadInt(number));
    EXPECT_EQ(number, 42);
    EXPECT_FALSE(probe.ReadInt(number));
    EXPECT_EQ(number, 0);
}

TEST_F(TextReading, ConvertsFieldsAndReadsTheLastOneUpToTheEnd) {
    TextProbe probe;
    OpenOn(probe, "  42abc\n0.8\n2\n\nlast");
    int number = 0;
    float real = 0.0f;
    bool flag = false;
    std::string text;
    EXPECT_TRUE(probe.ReadInt(number));
    EXPECT_EQ(number, 42);
    EXPECT_TRUE(probe.ReadFloat(real));
    EXPECT_EQ(real, 0.8f);
    EXPECT_TRUE(probe.ReadBool(flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(probe.ReadBool(flag)); // an empty line
    EXPECT_FALSE(flag);
    EXPECT_TRUE(probe.ReadString(text)); // ended by the end of the file
    EXPECT_EQ(text, "last");
    EXPECT_TRUE(probe.IsExhausted());
    EXPECT_FALSE(probe.ReadString(text));
}

} // namespace
