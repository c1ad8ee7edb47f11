// Numbers as the host's runtime writes them: the general notation and integers, and the quick path of the
// general notation and the exact path of floats against the 21-digit expansion that the runtime rounds from.
#include "runtime/NumberFormat.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
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

uint32_t NearestFloat(const std::string& decimal, int ulps) {
    const float value = std::strtof(decimal.c_str(), nullptr);
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits + static_cast<uint32_t>(ulps);
}

// Float bit patterns of every class, each written by the exact path of floats and through the general
// notation of doubles as the 21-digit expansion of the value widened to double writes it. The whole range
// of patterns is swept on demand by bench/float_sweep.cpp.
TEST(NumberFormat, FloatsAreWrittenAsTheExpansionWritesThem) {
    // Each class makes its i-th pattern of `count` from a random number.
    struct Class {
        const char* name;
        uint32_t count;
        uint32_t (*make)(uint32_t i, uint64_t random);
    };
    const Class classes[] = {
        // clang-format off
        {"every sign and exponent (subnormals, infinities, NaNs): edge mantissas, then random ones", 512 * 600,
         [](uint32_t i, uint64_t random) {
             const uint32_t edges[] = {0, 1, 2, 0x3FFFFF, 0x400000, 0x7FFFFE, 0x7FFFFF};
             return (i % 512) << 23 | (i / 512 < 7 ? edges[i / 512] : static_cast<uint32_t>(random) & 0x7FFFFF); }},
        {"subnormals of every length", 200000, [](uint32_t i, uint64_t random) {
             const auto bits = static_cast<uint32_t>(random);
             return (bits & 0x80000000) | (bits & 0x7FFFFF) >> (i % 24); }},
        {"halves on the seventh digit at every decimal exponent, and their neighbours", 84 * 5 * 2000,
         [](uint32_t i, uint64_t random) {
             return NearestFloat(std::to_string(1000005 + random % 900000 * 10) + "e" + std::to_string(static_cast<int>(i % 84) - 51),
                                 static_cast<int>(i / 84 % 5) - 2); }},
        {"powers of ten and their neighbours", 84 * 9, [](uint32_t i, uint64_t) {
             return NearestFloat("1e" + std::to_string(static_cast<int>(i % 84) - 45), static_cast<int>(i / 84) - 4); }},
        // clang-format on
    };
    for (const Class& kind : classes) {
        std::mt19937_64 random(23);
        for (uint32_t i = 0; i < kind.count; ++i) {
            const uint32_t bits = kind.make(i, random());
            float value = 0.0f;
            std::memcpy(&value, &bits, sizeof value);
            std::string exact;
            std::string expansion;
            AppendGeneral(exact, value);
            AppendGeneral(exact += ' ', static_cast<double>(value));
            AppendGeneralByExpansion(expansion, static_cast<double>(value));
            ASSERT_EQ(exact, expansion + ' ' + expansion) << kind.name << ": " << std::hex << bits;
        }
    }
}
} // namespace
