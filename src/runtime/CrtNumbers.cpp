#include "runtime/CrtNumbers.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace quorix::runtime {
namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

int32_t Atoi(const char* text) {
    const char* p = text;
    while (IsCSpace(*p)) {
        ++p;
    }
    const char sign = *p;
    if (sign == '-' || sign == '+') {
        ++p;
    }
    uint32_t total = 0;
    while (IsDigit(*p)) {
        total = total * 10u + static_cast<uint32_t>(*p - '0');
        ++p;
    }
    if (sign == '-') {
        total = 0u - total;
    }
    return static_cast<int32_t>(total);
}

double Atof(const char* text) {
    const char* p = text;
    while (IsCSpace(*p)) {
        ++p;
    }
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    // The significant digits, and the power of ten of the last of them.
    std::string digits;
    long long exponent = 0;
    bool sawDigit = false;
    for (bool point = false; IsDigit(*p) || (*p == '.' && !point); ++p) {
        if (*p == '.') {
            point = true;
            continue;
        }
        sawDigit = true;
        if (!digits.empty() || *p != '0') {
            digits += *p;
        }
        exponent -= point ? 1 : 0;
    }
    if (!sawDigit) {
        return 0.0;
    }
    if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
        const char* q = p + 1;
        const bool negativeExponent = *q == '-';
        if (*q == '-' || *q == '+') {
            ++q;
        }
        long long written = 0;
        for (; IsDigit(*q); ++q) {
            if (written < 100000) {
                written = written * 10 + (*q - '0');
            }
        }
        exponent += negativeExponent ? -written : written;
    }
    // The integer `digits` times 10^exponent, which lies below 10^magnitude; a value beyond the range of
    // doubles becomes an infinity or zero, and an exponent far beyond it is not handed on.
    const long long magnitude = exponent + static_cast<long long>(digits.size());
    if (digits.empty() || magnitude < -400) {
        return negative ? -0.0 : 0.0;
    }
    double value = std::numeric_limits<double>::infinity();
    if (magnitude <= 400) {
        digits += 'e' + std::to_string(exponent);
        const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                            std::chars_format::scientific);
        if (result.ec == std::errc::result_out_of_range) {
            value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        }
    }
    return negative ? -value : value;
}

float NarrowToFloat(double value) {
    if (std::isfinite(value) && std::fabs(value) > static_cast<double>(FLT_MAX)) {
        // Halfway between the largest float and 2^128 rounds to the even neighbour, the infinity.
        const double halfway = static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103);
        const float limit = std::fabs(value) >= halfway ? std::numeric_limits<float>::infinity() : FLT_MAX;
        return value < 0 ? -limit : limit;
    }
    return static_cast<float>(value);
}

} // namespace quorix::runtime
