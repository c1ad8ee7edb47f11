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
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    // Gather the significant digits and the power of ten that places them.
    std::string digits;
    long long pointShift = 0; // decimal exponent adjustment from the digits' position
    bool sawDigit = false;
    while (IsDigit(*p)) {
        sawDigit = true;
        if (!digits.empty() || *p != '0') {
            digits += *p;
        }
        ++p;
    }
    if (*p == '.') {
        ++p;
        while (IsDigit(*p)) {
            sawDigit = true;
            if (!digits.empty() || *p != '0') {
                digits += *p;
            }
            --pointShift;
            ++p;
        }
    }
    if (!sawDigit) {
        return 0.0;
    }
    long long exponent = 0;
    if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
        const char* q = p + 1;
        bool negativeExponent = false;
        if (*q == '-' || *q == '+') {
            negativeExponent = *q == '-';
            ++q;
        }
        while (IsDigit(*q)) {
            if (exponent < 100000) {
                exponent = exponent * 10 + (*q - '0');
            }
            ++q;
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    const double signedZero = negative ? -0.0 : 0.0;
    if (digits.empty()) {
        return signedZero;
    }
    // The value is the integer `digits` times 10^decimalExponent; it lies below 10^magnitude.
    const long long decimalExponent = pointShift + exponent;
    const long long magnitude = decimalExponent + static_cast<long long>(digits.size());
    if (magnitude > 400) {
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    if (magnitude < -400) {
        return signedZero;
    }
    std::string normalized = digits;
    normalized += 'e';
    normalized += std::to_string(decimalExponent);
    double value = 0.0;
    const auto result = std::from_chars(normalized.data(), normalized.data() + normalized.size(), value,
                                        std::chars_format::scientific);
    if (result.ec == std::errc::result_out_of_range) {
        value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
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
