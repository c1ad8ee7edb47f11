// Numbers as the host's runtime writes them: the general notation and integers, and the quick path of the
// general notation against the 21-digit expansion that the runtime rounds from.
#include "runtime/NumberFormat.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace {
using namespace quorix::runtime;

double FromBits(uint64_t bits) {
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof bits);
    return value;
}

TEST(NumberFormat, GeneralNotationAndIntegersAsTheTargetRuntimeWritesThem) {
    const std::pair<double, const char*> general[] = {
        // clang-format off
        {0.0, "0"}, {-0.0, "-0"}, {-0.5, "-0.5"}, {62.99212598, "62.9921"}, {100.0, "100"}, {0.1, "0.1"},
        {1234567.0, "1.23457e+006"}, {0.00001, "1e-005"}, {999999.9, "1e+006"}, {1e-40, "1e-040"},
        {-1.5e-7, "-1.5e-007"}, {9.999996, "10"}, {10.000006, "10"}, {9999995.0, "1e+007"}, {0.000099999996, "0.0001"}, {DBL_MAX, "1.79769e+308"},
        {4.9406564584124654e-324, "4.94066e-324"}, {123456.5, "123457"}, // half rounds away from zero
        {HUGE_VAL, "1.#INF"}, {-HUGE_VAL, "-1.#INF"}, {FromBits(0x7FF8000000000000u), "1.#QNAN"},
        {FromBits(0xFFF8000000000000u), "-1.#IND"}, // the processor's default NaN
        {FromBits(0xFFF8000000000001u), "-1.#QNAN"}
        // clang-format on
    };
    for (const auto& [value, expected] : general) {
        std::string quick;
        std::string expansion;
        AppendGeneral(quick, value);
        AppendGeneralByExpansion(expansion, value);
        EXPECT_EQ(quick + " " + expansion, std::string(expected) + " " + expected) << value;
    }
    for (const int64_t value : {int64_t{0}, int64_t{9}, int64_t{10}, int64_t{99}, int64_t{100}, int64_t{-1},
                                int64_t{-99}, int64_t{INT32_MIN}, INT64_MIN, INT64_MAX}) {
        std::string written;
        AppendInteger(written, value);
        EXPECT_EQ(written, std::to_string(value));
    }
}

double ShortMantissa(uint64_t bits) {
    return std::ldexp(static_cast<double>(bits >> 40), static_cast<int>(bits % 60) - 40);
}

// Random values of kinds that the quick path takes or declines in ways of their own, each written by it as
// the expansion writes them.
TEST(NumberFormat, QuickPathWritesWhatTheExpansionGives) {
    const std::pair<const char*, double (*)(uint64_t)> kinds[] = {
        // clang-format off
        {"floats", [](uint64_t bits) { float single = 0.0f; std::memcpy(&single, &bits, sizeof single);
                                       return static_cast<double>(single); }},
        {"every power of ten the quick path reaches", [](uint64_t bits) {
             return std::pow(10.0, static_cast<double>(bits % 2300000) / 100000.0 - 6.5); }},
        {"halves on the seventh digit", [](uint64_t bits) {
             return static_cast<double>((100000 + bits % 900000) * 10 + 5) * std::pow(10.0, bits % 9); }},
        {"short mantissas", ShortMantissa},
        {"negative tenths of short mantissas", [](uint64_t bits) { return -ShortMantissa(bits) / 10; }},
        // positions as lays hold them: tenths and thousandths of a millimetre, whole right angles
        {"tenths in single precision", [](uint64_t bits) {
             return static_cast<double>(static_cast<float>(bits % 16000000) / 10.0f); }},
        {"negative thousandths", [](uint64_t bits) { return -static_cast<double>(bits % 100000000) / 1000.0; }},
        {"right angles", [](uint64_t bits) { return static_cast<double>(bits % 4 * 90); }},
        // clang-format on
    };
    for (const auto& [name, make] : kinds) {
        std::mt19937_64 random(11);
        for (int i = 0; i < 200000; ++i) {
            const double value = make(random());
            std::string quick;
            std::string expansion;
            AppendGeneral(quick, value);
            AppendGeneralByExpansion(expansion, value);
            ASSERT_EQ(quick, expansion) << name << ": " << std::hexfloat << value;
        }
    }
}
} // namespace
