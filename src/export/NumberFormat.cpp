#include "export/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {
constexpr int kSignificantDigits = 6;
// The target's formatter works from a 21-digit decimal expansion before rounding to the precision asked.
constexpr int kExpansionDigits = 21;

char* Put(char* out, const char* text) {
    const size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
}

char* WriteSpecial(char* out, double value) {
    const bool negative = std::signbit(value);
    if (std::isinf(value)) {
        return Put(out, negative ? "-1.#INF" : "1.#INF");
    }
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const uint64_t payload = bits & ((uint64_t{1} << 51) - 1); // mantissa without the quiet bit
    if (negative && payload == 0) {
        return Put(out, "-1.#IND"); // the processor's default NaN
    }
    return Put(out, negative ? "-1.#QNAN" : "1.#QNAN");
}

// Writes the number whose significant digits are `kept` (six digits followed by at least ten '0's, of
// which the first `used` are written) and whose decimal exponent is `exponent`: fixed notation unless the
// exponent is below -4 or at least 6, the exponent then written with a sign and at least three digits.
// Copies run in fixed widths, so up to NumberFormat::kRoom characters from `out` may be touched.
char* WriteKept(char* out, bool negative, const char* kept, int used, int exponent) {
    char* p = out;
    if (negative) {
        *p++ = '-';
    }
    if (exponent >= 0 && exponent < kSignificantDigits) {
        // Integer part: digits 0..exponent, kept digits past `used` being zeros.
        const int whole = exponent + 1;
        std::memcpy(p, kept, 8);
        p += whole;
        if (used > whole) {
            *p++ = '.';
            std::memcpy(p, kept + whole, 8);
            p += used - whole;
        }
        return p;
    }
    if (exponent < 0 && exponent >= -4) {
        std::memcpy(p, "0.000", 5);
        p += 1 - exponent; // "0." and -exponent - 1 zeros
        std::memcpy(p, kept, 8);
        return p + used;
    }
    *p++ = kept[0];
    if (used > 1) {
        *p++ = '.';
        std::memcpy(p, kept + 1, 8);
        p += used - 1;
    }
    *p++ = 'e';
    *p++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 100) {
        *p++ = '0';
        if (magnitude < 10) {
            *p++ = '0';
        }
    }
    return std::to_chars(p, p + 8, magnitude).ptr;
}

// The six digits kept of `digits` (at least seven), rounded up when `roundUp` (carrying into the exponent
// when 9s overflow), trailing zeros dropped.
char* WriteRounded(char* out, bool negative, const char* digits, int exponent, bool roundUp) {
    char kept[16];
    std::memset(kept, '0', sizeof kept);
    std::memcpy(kept, digits, kSignificantDigits);
    if (roundUp) {
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
    return WriteKept(out, negative, kept, used, exponent);
}

char* WriteByExpansion(char* out, double value) {
    if (!std::isfinite(value)) {
        return WriteSpecial(out, value);
    }
    if (value == 0.0) {
        return Put(out, std::signbit(value) ? "-0" : "0");
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
    // Round half up on the seventh digit of the expansion.
    return WriteRounded(out, std::signbit(value), digits, exponent, digits[kSignificantDigits] >= '5');
}

#if defined(__GNUC__)
// The short route: the value is mantissa * 2^e, that is the integer mantissa * 2^e, or mantissa * 5^-e
// divided by 10^-e for a negative e. When that integer fits in 64 (or 128) bits, its decimal digits are
// the value's exact expansion, and the six digits are rounded from it directly.

template <typename U, int N>
struct Powers {
    U value[N];
    constexpr explicit Powers(unsigned base) : value{} {
        U p = 1;
        for (int i = 0; i < N; ++i) {
            value[i] = p;
            p = static_cast<U>(p * base);
        }
    }
};

constexpr Powers<uint64_t, 20> kTens64(10);
constexpr Powers<uint64_t, 28> kFives64(5); // 5^27 < 2^64

constexpr char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                               "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                               "8081828384858687888990919293949596979899";

int BitLength(uint64_t n) {
    return 64 - __builtin_clzll(n);
}

#ifdef __SIZEOF_INT128__
__extension__ typedef unsigned __int128 Uint128;
constexpr Powers<Uint128, 39> kTens128(10);
constexpr Powers<Uint128, 56> kFives128(5); // 5^55 < 2^128

int BitLength(Uint128 n) {
    const uint64_t high = static_cast<uint64_t>(n >> 64);
    return high != 0 ? 128 - __builtin_clzll(high) : BitLength(static_cast<uint64_t>(n));
}
#endif

// Writes the value n / 10^scale (n > 0, `tens` the powers of ten of U). The 21-digit expansion that the
// long route rounds first has the same seventh digit as the exact one, unless it rounds up through digits
// 8 to 21 that are all 9 (the 22nd digit being 5 or more); the seventh digit then grows by one, which
// changes the rounding to six digits only when it was 4.
template <typename U>
char* WriteExact(char* out, bool negative, U n, int scale, const U* tens) {
    int digits = (BitLength(n) * 1233) >> 12; // floor(bits * log10(2)): the digit count or one less
    if (n >= tens[digits]) {
        ++digits;
    }
    uint32_t leading = 0; // the first seven digits, zeros appended when there are fewer
    U rest = 0;
    if (digits <= 7) {
        leading = static_cast<uint32_t>(n * tens[7 - digits]);
    } else {
        leading = static_cast<uint32_t>(n / tens[digits - 7]);
        rest = n % tens[digits - 7];
    }
    const uint32_t seventh = leading % 10;
    bool roundUp = seventh >= 5;
    if (seventh == 4 && digits > kExpansionDigits) {
        roundUp = rest >= tens[digits - 7] - 5 * tens[digits - kExpansionDigits - 1];
    }
    int exponent = digits - 1 - scale;
    uint32_t six = leading / 10 + (roundUp ? 1 : 0);
    if (six == 1000000) {
        six = 100000;
        ++exponent;
    }
    char kept[16];
    std::memcpy(kept, kDigitPairs + 2 * (six / 10000), 2);
    std::memcpy(kept + 2, kDigitPairs + 2 * (six / 100 % 100), 2);
    std::memcpy(kept + 4, kDigitPairs + 2 * (six % 100), 2);
    std::memset(kept + 6, '0', sizeof kept - 6);
    int used = kSignificantDigits;
    while (used > 1 && kept[used - 1] == '0') {
        --used;
    }
    return WriteKept(out, negative, kept, used, exponent);
}

// The short route, or null when the value does not take it.
char* WriteExactExpansion(char* out, double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased == 0 || biased == 0x7FF) {
        return nullptr; // zero, subnormal, infinite or not a number
    }
    uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    int binaryExponent = biased - 1075;
    const int zeros = __builtin_ctzll(mantissa);
    mantissa >>= zeros;
    binaryExponent += zeros;
    if (binaryExponent >= 0) {
        if (BitLength(mantissa) + binaryExponent <= 64) {
            return WriteExact<uint64_t>(out, negative, mantissa << binaryExponent, 0, kTens64.value);
        }
#ifdef __SIZEOF_INT128__
        if (BitLength(mantissa) + binaryExponent <= 128) {
            return WriteExact<Uint128>(out, negative, static_cast<Uint128>(mantissa) << binaryExponent, 0,
                                       kTens128.value);
        }
#endif
        return nullptr;
    }
    const int scale = -binaryExponent;
    uint64_t n64 = 0;
    if (scale < 28 && !__builtin_mul_overflow(mantissa, kFives64.value[scale], &n64)) {
        return WriteExact<uint64_t>(out, negative, n64, scale, kTens64.value);
    }
#ifdef __SIZEOF_INT128__
    Uint128 n128 = 0;
    if (scale < 56 && !__builtin_mul_overflow(static_cast<Uint128>(mantissa), kFives128.value[scale], &n128)) {
        return WriteExact<Uint128>(out, negative, n128, scale, kTens128.value);
    }
#endif
    return nullptr;
}
#else
char* WriteExactExpansion(char*, double) {
    return nullptr;
}
#endif
} // namespace

char* NumberFormat::WriteInteger(char* out, int64_t value) {
    return std::to_chars(out, out + kRoom, value).ptr;
}

char* NumberFormat::WriteGeneral(char* out, double value) {
    if (char* end = WriteExactExpansion(out, value)) {
        return end;
    }
    return WriteByExpansion(out, value);
}

void NumberFormat::AppendInteger(std::string& out, int64_t value) {
    char text[kRoom];
    out.append(text, static_cast<size_t>(WriteInteger(text, value) - text));
}

void NumberFormat::AppendGeneral(std::string& out, double value) {
    char text[kRoom];
    out.append(text, static_cast<size_t>(WriteGeneral(text, value) - text));
}

void NumberFormat::AppendGeneralByExpansion(std::string& out, double value) {
    char text[kRoom];
    out.append(text, static_cast<size_t>(WriteByExpansion(text, value) - text));
}

std::string NumberFormat::General(double value) {
    std::string out;
    AppendGeneral(out, value);
    return out;
}
