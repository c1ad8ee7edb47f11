// Numbers as the host's runtime writes them: the general notation and integers, and the quick path of the
// general notation against the 21-digit expansion that the runtime rounds from.
#include "runtime/NumberFormat.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace quorix;

namespace {
using namespace quorix::runtime;

double FromBits(uint64_t bits) {
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

TEST(NumberFormat, GeneralNotationAsTheTargetRuntimeWritesIt) {
    const std::pair<double, const char*> cases[] = {
        // clang-format off
        {0.0, "0"}, {-0.0, "-0"}, {-0.5, "-0.5"}, {62.99212598, "62.9921"}, {100.0, "100"},
        {1234567.0, "1.23457e+006"}, {0.00001, "1e-005"}, {999999.9, "1e+006"}, {1e-40, "1e-040"},
        {9.999996, "10"}, {0.000099999996, "0.0001"}, {DBL_MAX, "1.79769e+308"},
        {4.9406564584124654e-324, "4.94066e-324"},
        {123456.5, "123457"}, // half rounds away from zero
        {HUGE_VAL, "1.#INF"}, {-HUGE_VAL, "-1.#INF"}, {FromBits(0x7FF8000000000000u), "1.#QNAN"},
        {FromBits(0xFFF8000000000000u), "-1.#IND"}, // the processor's default NaN
        {FromBits(0xFFF8000000000001u), "-1.#QNAN"}
        // clang-format on
    };
    for (const auto& [value, expected] : cases) {
        std::string quick;
        std::string expansion;
        AppendGeneral(quick, value);
        AppendGeneralByExpansion(expansion, value);
        EXPECT_EQ(quick + " " + expansion, std::string(expected) + " " + expected) << value;
    }
}

// Counts in plain decimal: every one up to a thousand either way, and the extremes.
TEST(NumberFormat, IntegersAreWrittenInPlainDecimal) {
    std::vector<int64_t> values = {INT32_MIN, INT32_MAX, INT64_MIN, INT64_MAX};
    for (int64_t value = -1000; value <= 1000; ++value) {
        values.push_back(value);
    }
    for (const int64_t value : values) {
        std::string written;
        AppendInteger(written, value);
        EXPECT_EQ(written, std::to_string(value));
    }
}

// A kind of value made from random bits, which the quick path may take or decline in its own ways.
struct ValueKind {
    const char* name;
    double (*make)(uint64_t bits);
};

// A kind prints as its name, so that the test names stay the same from build to build.
void PrintTo(const ValueKind& kind, std::ostream* out) {
    *out << kind.name;
}

double ShortMantissa(uint64_t bits) {
    return std::ldexp(static_cast<double>(bits >> 40), static_cast<int>(bits % 90) - 70);
}

double FloatFromBits(uint64_t bits) {
    float single = 0.0f;
    std::memcpy(&single, &bits, sizeof single);
    return static_cast<double>(single);
}

// clang-format off
const ValueKind kValueKinds[] = {
    {"Floats", FloatFromBits},
    {"DoublesOfEveryKind", FromBits},
    {"HalvesOnTheSeventhDigit", [](uint64_t bits) {
         return static_cast<double>((100000 + bits % 900000) * 10 + 5) * std::pow(10.0, bits % 9); }},
    {"ShortMantissasAtAllScales", ShortMantissa},
    {"NegativeTenthsOfShortMantissas", [](uint64_t bits) { return -ShortMantissa(bits) / 10; }},
    // Positions as lays hold them: tenths and thousandths of a millimetre, whole right angles.
    {"TenthsInSinglePrecision", [](uint64_t bits) {
         return static_cast<double>(static_cast<float>(bits % 16000000) / 10.0f); }},
    {"NegativeThousandths", [](uint64_t bits) { return -static_cast<double>(bits % 100000000) / 1000.0; }},
    {"RightAngles", [](uint64_t bits) { return static_cast<double>(bits % 4 * 90); }},
};
// clang-format on

class GeneralNotationQuickPath : public testing::TestWithParam<ValueKind> {};

TEST_P(GeneralNotationQuickPath, WritesWhatTheExpansionGives) {
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        const double value = GetParam().make(random());
        std::string quick;
        std::string expansion;
        AppendGeneral(quick, value);
        AppendGeneralByExpansion(expansion, value);
        ASSERT_EQ(quick, expansion) << std::hexfloat << value;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, GeneralNotationQuickPath, testing::ValuesIn(kValueKinds),
                         [](const testing::TestParamInfo<ValueKind>& row) {
                             return std::string(row.param.name);
                         });
} // namespace
