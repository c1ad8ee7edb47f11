#include "export/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {
constexpr int kSignificantDigits = 6;
// The target's formatter works from a 21-digit decimal expansion before rounding to the precision asked.
constexpr int kExpansionDigits = 21;

void AppendSpecial(std::string& out, double value) {
    const bool negative = std::signbit(value);
    if (std::isinf(value)) {
        out += negative ? "-1.#INF" : "1.#INF";
        return;
    }
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const uint64_t payload = bits & ((uint64_t{1} << 51) - 1); // mantissa without the quiet bit
    if (negative && payload == 0) {
        out += "-1.#IND"; // the processor's default NaN
        return;
    }
    out += negative ? "-1.#QNAN" : "1.#QNAN";
}
} // namespace

void NumberFormat::AppendInteger(std::string& out, int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void NumberFormat::AppendGeneral(std::string& out, double value) {
    if (!std::isfinite(value)) {
        AppendSpecial(out, value);
        return;
    }
    if (value == 0.0) {
        out += std::signbit(value) ? "-0" : "0";
        return;
    }
    // d.dddddddddddddddddddde±x: the first 21 significant digits, correctly rounded.
    char expansion[64];
    const auto result = std::to_chars(expansion, expansion + sizeof expansion, std::fabs(value),
                                      std::chars_format::scientific, kExpansionDigits - 1);
    char digits[kExpansionDigits];
    int count = 0;
    const char* p = expansion;
    for (; p < result.ptr && *p != 'e'; ++p) {
        if (*p != '.') {
            digits[count++] = *p;
        }
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), result.ptr, exponent);

    // Keep 6 digits; round half up on the next digit, carrying into the exponent when 9s overflow.
    char kept[kSignificantDigits];
    std::memcpy(kept, digits, kSignificantDigits);
    if (digits[kSignificantDigits] >= '5') {
        int i = kSignificantDigits - 1;
        while (i >= 0 && kept[i] == '9') {
            kept[i--] = '0';
        }
        if (i < 0) {
            kept[0] = '1';
            ++exponent;
        } else {
            ++kept[i];
        }
    }
    int used = kSignificantDigits;
    while (used > 1 && kept[used - 1] == '0') {
        --used;
    }

    if (std::signbit(value)) {
        out += '-';
    }
    if (exponent < -4 || exponent >= kSignificantDigits) {
        out += kept[0];
        if (used > 1) {
            out += '.';
            out.append(kept + 1, kept + used);
        }
        out += 'e';
        out += exponent < 0 ? '-' : '+';
        const int magnitude = exponent < 0 ? -exponent : exponent;
        char expDigits[8];
        const auto written = std::to_chars(expDigits, expDigits + sizeof expDigits, magnitude);
        for (std::ptrdiff_t width = written.ptr - expDigits; width < 3; ++width) {
            out += '0';
        }
        out.append(expDigits, written.ptr);
    } else if (exponent >= 0) {
        // Integer part: digits 0..exponent, padded with zeros where the kept digits end early.
        for (int i = 0; i <= exponent; ++i) {
            out += i < used ? kept[i] : '0';
        }
        if (used > exponent + 1) {
            out += '.';
            out.append(kept + exponent + 1, kept + used);
        }
    } else {
        out += "0.";
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out.append(kept, kept + used);
    }
}

std::string NumberFormat::General(double value) {
    std::string out;
    AppendGeneral(out, value);
    return out;
}
