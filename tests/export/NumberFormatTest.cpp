// Numbers as written into the import files: general notation with 6 significant digits, three-digit
// exponents, and the runtime's texts for infinities and NaNs.
#include "export/NumberFormat.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

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
        EXPECT_EQ(NumberFormat::General(value), expected) << value;
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
        NumberFormat::AppendInteger(written, value);
        EXPECT_EQ(written, std::to_string(value));
    }
}

} // namespace
