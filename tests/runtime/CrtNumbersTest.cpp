// Numbers read from text files as the host's runtime converts them, whatever the user's locale.
#include "runtime/CrtNumbers.h"
#include "files/QuorTextFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <locale>
#include <string>
#include <tuple>

using namespace quorix;

namespace {
using namespace quorix::runtime;

struct TextProbe : QuorTextFile {
    bool Parse() override { return true; }
};

// The conversions, in the C locale and then in one whose decimal point is a comma (set for the C library
// and for streams), where a float field "0.8" of a text file is still 0.8.
TEST(CrtNumbers, ConvertAsTheTargetRuntimeWhateverTheLocale) {
    // i: Atoi, d: Atof, f: Atof narrowed to a float.
    const std::tuple<char, const char*, double> cases[] = {
        // clang-format off
        {'i', " \t\v\f\r\n-7", -7}, {'i', "+5x", 5}, {'i', "- 5", 0}, {'i', "2147483648", INT32_MIN},
        {'i', "4294967297", 1}, {'i', "-4294967295", 1}, {'d', "  -2.5x", -2.5}, {'d', "1.5d3", 1500},
        {'d', "1.5D-1", 0.15}, {'d', "+.5e1", 5}, {'d', "1e+", 1}, {'d', ".", 0}, {'d', "1,5", 1},
        {'d', "000123.4500", 123.45}, {'d', "-0", -0.0}, {'d', "0e999999", 0}, {'d', "-1e-400", -0.0},
        {'d', "123456789012345678901234567890", 123456789012345678901234567890.0}, {'d', "-1e400", -HUGE_VAL},
        {'d', "1e99999999999999999999", HUGE_VAL}, {'d', "1e1000", HUGE_VAL}, {'d', "1e-1000", 0},
        {'d', "1.7976931348623157e308", DBL_MAX}, {'d', "1.7976931348623159e308", HUGE_VAL},
        {'d', "4.9406564584124654e-324", 4.9406564584124654e-324},
        // halfway between the largest float and 2^128, and the double below it
        {'f', "3.4028235677973366e38", HUGE_VAL}, {'f', "-3.4028235677973366e38", -HUGE_VAL},
        {'f', "3.4028235677973362e38", FLT_MAX}, {'f', "-3.4028235677973362e38", -FLT_MAX}
        // clang-format on
    };
    const std::string cLocale = std::setlocale(LC_ALL, nullptr);
    const std::locale cppLocale;
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "German_Germany.1252"}) {
        if (!comma && std::setlocale(LC_ALL, name) && *std::localeconv()->decimal_point == ',') {
            comma = name;
        }
    }
    for (const char* locale : {"C", comma}) {
        if (locale == nullptr) {
            continue;
        }
        std::setlocale(LC_ALL, locale);
        std::locale::global(std::locale(locale));
        for (const auto& [kind, text, expected] : cases) {
            const double value = kind == 'i'   ? Atoi(text)
                                 : kind == 'd' ? Atof(text)
                                               : NarrowToFloat(Atof(text));
            EXPECT_EQ(value, expected) << text << " in " << locale;
            EXPECT_EQ(std::signbit(value), std::signbit(expected)) << text << " in " << locale;
        }
        const TempDir dir;
        TextProbe probe;
        float real = 0.0f;
        EXPECT_TRUE(probe.Open(dir.Write("numbers.txt", "0.8\n")) && probe.ReadFloat(real)) << locale;
        EXPECT_EQ(real, 0.8f) << locale;
    }
    std::locale::global(cppLocale);
    std::setlocale(LC_ALL, cLocale.c_str());
    if (comma == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is installed (tried de_DE and fr_FR)";
    }
}
} // namespace
