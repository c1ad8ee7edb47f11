// Text files: text-mode translation, fields with their 255-character limit, and the
// runtime's number conversions behind them, independent of the user's locale.
#include "files/CrtNumbers.h"
#include "files/QuorTextFile.h"
#include "log/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <locale>
#include <tuple>
#include <vector>

namespace {
using namespace std::string_literals;
using Lines = std::vector<std::string>;
constexpr size_t kBufferSize = 65536;

struct TextProbe : QuorTextFile {
    bool Parse() override { return true; }
};

class TextReading : public ::testing::Test {
protected:
    void SetUp() override { Log::DisableFile(); }
    void OpenOn(const std::string& bytes) {
        ASSERT_TRUE(probe.Open(dir.Write(std::to_string(++files), bytes)));
    }
    // Every field that reads successfully with the line feed as delimiter.
    Lines ReadLines(const std::string& bytes) {
        OpenOn(bytes);
        Lines lines;
        for (std::string line; lines.size() <= kBufferSize && probe.ReadString(line);) {
            lines.push_back(line);
        }
        return lines;
    }
    TempDir dir;
    TextProbe probe;
    int files = 0;
};

TEST_F(TextReading, TranslatesLikeATextModeStream) {
    EXPECT_EQ(ReadLines("A\r\nB\rC\n\r\r\nD\n\rE\x1A\nF\n"), Lines({"A", "B\rC", "\r", "D", "\rE"}));
    // A CR as the last byte of a read buffer, followed by an LF, another byte or the end mark.
    const std::pair<char, Lines> boundary[] = {{'\n', {"z", "tail"}}, {'B', {"z\rBtail"}}, {'\x1A', {"z\r"}}};
    for (const auto& [next, tail] : boundary) {
        Lines expected(kBufferSize - 2, "");
        expected.insert(expected.end(), tail.begin(), tail.end());
        const std::string file = std::string(kBufferSize - 2, '\n') + "z\r" + next + "tail\n";
        EXPECT_TRUE(ReadLines(file) == expected) << static_cast<int>(next);
    }
}

TEST_F(TextReading, FieldsEndAtTheirDelimiterAndAllAreEmptyAfterAnOverlongOne) {
    // The long field straddles the end of a read buffer, or one of 255 ends exactly at it. A negative flag
    // is set.
    for (const size_t before : {kBufferSize - 100, kBufferSize - 255}) {
        for (const size_t length : {255u, 256u}) {
            const std::string filler(before, '\n');
            OpenOn(filler + std::string(length, 'x') + "\n7\n0.8\n-2\nA\r\nB C\0D\nlast"s);
            std::string text;
            for (size_t i = 0; i < filler.size(); ++i) {
                probe.ReadString(text);
            }
            const bool fits = length == 255;
            EXPECT_EQ(probe.ReadString(text), fits);
            EXPECT_EQ(text, std::string(255, 'x'));
            int number = -1;
            float real = -1.0f;
            bool flag = !fits;
            Lines texts(3, "?");
            const std::vector<bool> results{probe.ReadInt(number),      probe.ReadFloat(real),
                                            probe.ReadBool(flag),       probe.ReadString(texts[0], ' '),
                                            probe.ReadString(texts[1]), probe.ReadString(texts[2])};
            EXPECT_EQ(results, std::vector<bool>(6, fits));
            // A line feed is an ordinary character when a space ends the field; a NUL ends the text, not the
            // field.
            EXPECT_EQ(std::tie(number, real, flag, texts),
                      fits ? std::make_tuple(7, 0.8f, true, Lines{"A\nB", "C", "last"})
                           : std::make_tuple(0, 0.0f, false, Lines(3, "")));
        }
    }
}

TEST(CrtNumbers, ConvertAsTheTargetRuntime) {
    // i: Atoi, d: Atof, f: Atof narrowed to a float.
    const std::tuple<char, const char*, double> cases[] = {
        // clang-format off
        {'i', " \t\v\f\r\n-7", -7}, {'i', "+5x", 5}, {'i', "- 5", 0}, {'i', "2147483648", INT32_MIN},
        {'i', "4294967297", 1}, {'i', "-4294967295", 1}, {'d', "  -2.5x", -2.5}, {'d', "1.5d3", 1500},
        {'d', "1.5D-1", 0.15}, {'d', "+.5e1", 5}, {'d', "1e+", 1}, {'d', ".", 0}, {'d', "1,5", 1},
        {'d', "000123.4500", 123.45}, {'d', "-0", -0.0}, {'d', "0e999999", 0}, {'d', "-1e-400", -0.0},
        {'d', "123456789012345678901234567890", 123456789012345678901234567890.0}, {'d', "-1e400", -HUGE_VAL},
        {'d', "1e99999999999999999999", HUGE_VAL}, {'d', "1e1000", HUGE_VAL}, {'d', "1e-1000", 0}, {'d', "1.7976931348623157e308", DBL_MAX},
        {'d', "1.7976931348623159e308", HUGE_VAL}, {'d', "4.9406564584124654e-324", 4.9406564584124654e-324},
        // halfway between the largest float and 2^128, and the double below it
        {'f', "3.4028235677973366e38", HUGE_VAL}, {'f', "-3.4028235677973366e38", -HUGE_VAL},
        {'f', "3.4028235677973362e38", FLT_MAX}, {'f', "-3.4028235677973362e38", -FLT_MAX}
        // clang-format on
    };
    for (const auto& [kind, text, expected] : cases) {
        const double value = kind == 'i'   ? CrtNumbers::Atoi(text)
                             : kind == 'd' ? CrtNumbers::Atof(text)
                                           : CrtNumbers::NarrowToFloat(CrtNumbers::Atof(text));
        EXPECT_EQ(value, expected) << text;
        EXPECT_EQ(std::signbit(value), std::signbit(expected)) << text;
    }
}

TEST_F(TextReading, DecimalCommaLocaleDoesNotChangeFields) {
    const std::string cLocale = std::setlocale(LC_ALL, nullptr);
    const std::locale cppLocale;
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "German_Germany.1252"}) {
        if (!comma && std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',') {
            comma = name;
        }
    }
    float real = 0.0f;
    if (comma != nullptr) {
        std::locale::global(std::locale(comma)); // the stream locale too
        OpenOn("0.8\n");
        EXPECT_TRUE(probe.ReadFloat(real));
    }
    std::locale::global(cppLocale);
    std::setlocale(LC_ALL, cLocale.c_str());
    if (comma == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is installed (tried de_DE and fr_FR)";
    }
    EXPECT_EQ(real, 0.8f);
}

} // namespace
