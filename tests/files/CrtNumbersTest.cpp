// Number conversions of text fields: the target runtime's atoi and atof, narrowing to single precision,
// and independence from the user's locale.
#include "files/CrtNumbers.h"
#include "files/QuorTextFile.h"
#include "log/Log.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(CrtNumbers, AtoiTakesSignAndLeadingDigitsAndWrapsIn32Bits) {
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        // clang-format off
        {"42", 42}, {"  42abc", 42}, {" \t\v\f\r\n-7", -7}, {"+5", 5}, {"abc", 0}, {"", 0}, {"- 5", 0},
        {"0x1A", 0}, {"007", 7}, {"1.9", 1}, {"-2147483648", INT32_MIN}, {"2147483647", INT32_MAX},
        {"2147483648", INT32_MIN}, {"4294967297", 1}, {"-4294967295", 1}, {"+-3", 0}
        // clang-format on
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CrtNumbers::Atoi(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(CrtNumbers, AtofReadsDecimalNumbersWithExponents) {
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        // clang-format off
        {"0.8", 0.8}, {"  -2.5x", -2.5}, {"1e2", 100.0}, {"2E+2", 200.0}, {"1.5d3", 1500.0},
        {"1.5D-1", 0.15}, {"+.5e1", 5.0}, {"5.", 5.0}, {"1e", 1.0}, {"1e+", 1.0}, {"0.1", 0.1},
        {"000123.4500", 123.45}, {"123456789012345678901234567890", 123456789012345678901234567890.0},
        {"abc", 0.0}, {".", 0.0}, {"-", 0.0}, {"1,5", 1.0}, {"0e999999", 0.0},
        {"1e400", kInf}, {"-1e400", -kInf}, {"1e99999999999999999999", kInf},
        {"1.7976931348623157e308", DBL_MAX}, {"1.7976931348623159e308", kInf},
        {"1e-400", 0.0}, {"1e-320", 1e-320},
        {"4.9406564584124654e-324", std::numeric_limits<double>::denorm_min()}
        // clang-format on
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CrtNumbers::Atof(c.text), c.expected) << '"' << c.text << '"';
    }
    EXPECT_TRUE(std::signbit(CrtNumbers::Atof("-0")));
    EXPECT_TRUE(std::signbit(CrtNumbers::Atof("-1e-400")));
}

TEST(CrtNumbers, NarrowToFloatRoundsAtTheEdgeOfTheFloatRange) {
    const float kFltInf = std::numeric_limits<float>::infinity();
    // Halfway between the largest float and 2^128: from there on the value rounds to infinity.
    const double halfway = static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103);
    const struct {
        double value;
        float expected;
    } cases[] = {
        // clang-format off
        {0.8, 0.8f}, {static_cast<double>(FLT_MAX), FLT_MAX}, {3.4028235e38, FLT_MAX},
        {std::nextafter(halfway, 0.0), FLT_MAX}, {-std::nextafter(halfway, 0.0), -FLT_MAX},
        {halfway, kFltInf}, {-halfway, -kFltInf}, {1e39, kFltInf}, {DBL_MAX, kFltInf}, {-kInf, -kFltInf},
        {1e-46, 0.0f}
        // clang-format on
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CrtNumbers::NarrowToFloat(c.value), c.expected) << c.value;
    }
    EXPECT_TRUE(std::isnan(CrtNumbers::NarrowToFloat(std::nan(""))));
}

class TextProbe : public QuorTextFile {
public:
    bool Parse() override { return true; }
};

// Restores the C and C++ global locales when the test ends.
class LocaleGuard {
public:
    LocaleGuard() : cLocale(std::setlocale(LC_ALL, nullptr)) {}
    ~LocaleGuard() {
        std::setlocale(LC_ALL, cLocale.c_str());
        std::locale::global(cppLocale);
    }

private:
    std::string cLocale;
    std::locale cppLocale;
};

struct CommaPoint : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

float ReadFloatField(const std::string& bytes) {
    Log::DisableFile();
    TempDir dir;
    TextProbe probe;
    EXPECT_TRUE(probe.Open(dir.Write("real.txt", bytes)));
    float value = 0.0f;
    EXPECT_TRUE(probe.ReadFloat(value));
    return value;
}

TEST(CrtNumbers, StreamLocaleWithDecimalCommaDoesNotChangeFields) {
    LocaleGuard guard;
    std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
    EXPECT_EQ(ReadFloatField("0.8\n"), 0.8f);
    EXPECT_EQ(ReadFloatField("0,8\n"), 0.0f);
}

TEST(CrtNumbers, UserLocaleWithDecimalCommaDoesNotChangeFields) {
    LocaleGuard guard;
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "German_Germany.1252"}) {
        if (std::setlocale(LC_ALL, name) != nullptr &&
            std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is installed on this machine (tried de_DE and fr_FR)";
    }
    std::locale::global(std::locale(chosen));
    EXPECT_EQ(ReadFloatField("0.8\n"), 0.8f);
    EXPECT_EQ(CrtNumbers::Atof("1.5e1"), 15.0);
}

} // namespace
