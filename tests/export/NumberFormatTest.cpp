// Numbers as written into the import files: general notation with 6 significant digits, three-digit
// exponents, the runtime's texts for infinities and NaNs, and plain integers.
#include "export/NumberFormat.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <limits>

namespace {

double FromBits(uint64_t bits) {
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

TEST(NumberFormat, GeneralNotationWithSixSignificantDigits) {
    const struct {
        double value;
        const char* expected;
    } cases[] = {
        // clang-format off
        {0.0, "0"}, {-0.0, "-0"}, {-0.5, "-0.5"}, {0.5, "0.5"}, {62.99212598, "62.9921"}, {100.0, "100"},
        {270.0, "270"}, {45.5, "45.5"}, {123.4567, "123.457"}, {static_cast<double>(123.4567f), "123.457"},
        {static_cast<double>(0.1f), "0.1"}, {9.999996, "10"}, {999999.0, "999999"}, {999999.9, "1e+006"},
        {1000000.0, "1e+006"}, {1234567.0, "1.23457e+006"}, {-1234567.0, "-1.23457e+006"},
        {123456.5, "123457"}, {1234565.0, "1.23457e+006"}, // half rounds away from zero
        {2.5e-5, "2.5e-005"}, {0.0001, "0.0001"}, {0.000099999996, "0.0001"}, {0.000123456789, "0.000123457"},
        {0.00001, "1e-005"}, {1e-40, "1e-040"}, {1e300, "1e+300"}, {DBL_MAX, "1.79769e+308"},
        {std::numeric_limits<double>::denorm_min(), "4.94066e-324"},
        // inch widths from millimetres and micrometres
        {1397000 / 25.4, "55000"}, {2540 / 25.4, "100"}, {1600 / 25.4, "62.9921"},
        {1000000 / 25400.0, "39.3701"}, {1651000 / 25400.0, "65"}
        // clang-format on
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NumberFormat::General(c.value), c.expected) << c.value;
    }
}

TEST(NumberFormat, InfinitiesAndNaNs) {
    const struct {
        double value;
        const char* expected;
    } cases[] = {{std::numeric_limits<double>::infinity(), "1.#INF"},
                 {-std::numeric_limits<double>::infinity(), "-1.#INF"},
                 {FromBits(0x7FF8000000000000u), "1.#QNAN"},
                 {FromBits(0x7FF8000000000123u), "1.#QNAN"},
                 {FromBits(0xFFF8000000000000u), "-1.#IND"}, // the processor's default NaN
                 {FromBits(0xFFF8000000000001u), "-1.#QNAN"}};
    for (const auto& c : cases) {
        EXPECT_EQ(NumberFormat::General(c.value), c.expected);
    }
}

TEST(NumberFormat, AppendsAfterExistingText) {
    std::string line = "w:";
    NumberFormat::AppendGeneral(line, 0.25);
    EXPECT_EQ(line, "w:0.25");
    const struct {
        int64_t value;
        const char* expected;
    } cases[] = {{INT32_MIN, "i:-2147483648"}, {INT32_MAX, "i:2147483647"}, {0, "i:0"}, {-1, "i:-1"}};
    for (const auto& c : cases) {
        line = "i:";
        NumberFormat::AppendInteger(line, c.value);
        EXPECT_EQ(line, c.expected);
    }
}

} // namespace
