// runtime/: what the Windows C runtime does to bytes and numbers (its text-mode reading and writing, its
// atoi and atof, the way its output streams write numbers), done by hand here. The host that reads the
// import files is a Windows program, and every file must come out byte-identical on every platform.
#include "runtime/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "NumberFormat keeps digit characters in integer words, first character in the lowest byte"
#endif

#if defined(__GNUC__)
#define QUORIX_INLINE inline __attribute__((always_inline))
#else
#define QUORIX_INLINE inline
#endif

namespace quorix::runtime {
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

// Writes the number whose six significant digits are the characters of `kept`, first digit in the lowest
// byte (bytes 6 and 7 hold '0'), of which the first `used` are written, and whose decimal exponent is
// `exponent`: fixed notation unless the exponent is below -4 or at least 6, the exponent then written with
// a sign and at least three digits. Digits are stored eight bytes at a time, so up to kNumberRoom
// characters from `out` may be touched.
QUORIX_INLINE char* WriteKept(char* out, bool negative, uint64_t kept, int used, int exponent) {
    char* p = out;
    if (negative) {
        *p++ = '-';
    }
    if (exponent >= 0 && exponent < kSignificantDigits) {
        // Integer part: digits 0..exponent, the kept digits past `used` being zeros.
        const int whole = exponent + 1;
        std::memcpy(p, &kept, 8);
        p += whole;
        if (used > whole) {
            *p++ = '.';
            const uint64_t rest = kept >> (8 * whole);
            std::memcpy(p, &rest, 8);
            p += used - whole;
        }
        return p;
    }
    if (exponent < 0 && exponent >= -4) {
        std::memcpy(p, "0.000", 5);
        p += 1 - exponent; // "0." and -exponent - 1 zeros
        std::memcpy(p, &kept, 8);
        return p + used;
    }
    *p++ = static_cast<char>(kept);
    if (used > 1) {
        *p++ = '.';
        const uint64_t rest = kept >> 8;
        std::memcpy(p, &rest, 8);
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

// Six digit characters as WriteKept takes them.
uint64_t KeptOf(const char* six) {
    char bytes[8] = {six[0], six[1], six[2], six[3], six[4], six[5], '0', '0'};
    uint64_t kept = 0;
    for (int i = 7; i >= 0; --i) {
        kept = (kept << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return kept;
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
    return WriteKept(out, negative, KeptOf(kept), used, exponent);
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
    char digits[kExpansionDigits] = {};
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

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The six digits of `six` (100000 to 999999) as WriteKept takes them.
QUORIX_INLINE uint64_t DigitsOf(uint32_t six) {
    uint16_t pairs[3];
    std::memcpy(&pairs[0], kDigitPairs + 2 * (six / 10000), 2);
    std::memcpy(&pairs[1], kDigitPairs + 2 * (six / 100 % 100), 2);
    std::memcpy(&pairs[2], kDigitPairs + 2 * (six % 100), 2);
    return static_cast<uint64_t>(pairs[0]) | (static_cast<uint64_t>(pairs[1]) << 16) |
           (static_cast<uint64_t>(pairs[2]) << 32) | (uint64_t{0x3030} << 48);
}

// How many of the six digits of `kept` are written: up to the last digit other than '0'.
QUORIX_INLINE int UsedDigits(uint64_t kept) {
    uint64_t nonZero = (kept ^ 0x3030303030303030u) & 0x0000FFFFFFFFFFFFu; // never 0: digit 1 is not '0'
#if defined(__GNUC__)
    return (63 - __builtin_clzll(nonZero)) / 8 + 1;
#else
    int used = 0;
    for (; nonZero != 0; nonZero >>= 8) {
        ++used;
    }
    return used;
#endif
}

// Writes the value of decimal exponent `exponent` whose six significant digits (rounded) are `six`, from
// 100000 to 999999.
QUORIX_INLINE char* WriteSix(char* out, bool negative, uint32_t six, int exponent) {
    const uint64_t kept = DigitsOf(six);
    const int used = UsedDigits(kept);
    if (exponent < -4 || exponent >= kSignificantDigits) {
        return WriteKept(out, negative, kept, used, exponent);
    }
    // Fixed notation, without a branch on the digits (positions and angles change their length from one
    // number to the next, which a branch would guess wrong): "0." and zeros before the digits when the
    // exponent is negative; else the digits with a point after the integer part, unless nothing follows.
    *out = '-';
    char* p = out + (negative ? 1 : 0);
    const bool fraction = exponent < 0;
    const int whole = fraction ? 0 : exponent + 1; // digits before the point
    const int shift = 8 * whole;
    const uint64_t low = kept & ((uint64_t{1} << shift) - 1);
    const uint64_t dotted = low | (uint64_t{'.'} << shift) | ((kept >> shift) << (shift + 8));
    const bool point = !fraction && used > whole;
    const uint64_t word = point ? dotted : kept;
    const int prefix = fraction ? 1 - exponent : 0; // "0." and -exponent - 1 zeros
    std::memcpy(p, "0.000000", 8);
    std::memcpy(p + prefix, &word, 8);
    return p + prefix + (fraction ? used : (point ? used + 1 : whole));
}

// The quick route, for magnitudes from 1e-5 to 1e15. The decimal exponent is estimated from the binary
// one, which gives it or one less; the value is then scaled by one multiplication to 10^5 or 10^6 times
// its first digit, and by 2^20 more, which leaves its first six or seven digits in the integer part and 20
// bits of what follows below them. The multiplication is off by at most 2^-52 relative (the powers of ten
// below 1 are themselves rounded), that is less than 2.3e-9 units of the seventh digit: far less than
// 2^-20. Unless the rest lies within 2^-19 of a half, the value rounds to six digits as the exact value
// does; and so does the 21-digit expansion, which is far closer to the exact value than that. Everything
// after the one multiplication is integer work without a branch on the digits. Null when the value does
// not take this route.
QUORIX_INLINE char* WriteScaled(char* out, double value) {
    constexpr double kFractionScale = 1048576.0; // 2^20
    // 10^(5 - e) * 2^20 for the estimates e from -6 to 14.
    static constexpr double kScales[] = {1e11 * kFractionScale, 1e10 * kFractionScale, 1e9 * kFractionScale,
                                         1e8 * kFractionScale,  1e7 * kFractionScale,  1e6 * kFractionScale,
                                         1e5 * kFractionScale,  1e4 * kFractionScale,  1e3 * kFractionScale,
                                         1e2 * kFractionScale,  1e1 * kFractionScale,  1e0 * kFractionScale,
                                         1e-1 * kFractionScale, 1e-2 * kFractionScale, 1e-3 * kFractionScale,
                                         1e-4 * kFractionScale, 1e-5 * kFractionScale, 1e-6 * kFractionScale,
                                         1e-7 * kFractionScale, 1e-8 * kFractionScale, 1e-9 * kFractionScale};
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    if (magnitude == 0.0) {
        return Put(out, negative ? "-0" : "0");
    }
    if (!(magnitude >= 1e-5 && magnitude < 1e15)) {
        return nullptr;
    }
    uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int binaryExponent = static_cast<int>(bits >> 52) - 1023; // magnitude in [2^e, 2^(e+1)), e >= -17
    // floor(binaryExponent * log10(2)), from -6 to 14: 1233 / 4096 is just below log10(2).
    const int product = binaryExponent * 1233;
    const int estimate = product >= 0 ? product >> 12 : -((4095 - product) >> 12);
    const uint64_t scaled = static_cast<uint64_t>(magnitude * kScales[estimate + 6]);
    const uint64_t leading = scaled >> 20; // six digits, or seven when the estimate was one too low
    if (leading < 100000 || leading > 9999999) {
        return nullptr; // the estimate was off (a rounded power of ten)
    }
    // Without a branch on which it is: the values of a lay fall on both sides at random.
    const uint64_t unit = leading >= 1000000 ? 10 : 1; // of the sixth digit, in units of `leading`
    const uint64_t tenth = leading / 10;
    const uint64_t sevenMask = uint64_t{0} - (unit / 10); // all ones when there are seven digits
    uint64_t six = (tenth & sevenMask) | (leading & ~sevenMask);
    // What follows the six digits, in units of `leading` times 2^20, and its half.
    const uint64_t rest = scaled - ((six * unit) << 20);
    const uint64_t half = unit << 19;
    if (rest - (half - 2) < 4) {
        return nullptr; // too near a half to tell
    }
    six += rest >= half ? 1 : 0;
    int exponent = estimate + static_cast<int>(unit / 10);
    if (six == 1000000) {
        six = 100000;
        ++exponent;
    }
    return WriteSix(out, negative, static_cast<uint32_t>(six), exponent);
}

#if defined(__GNUC__)
// The short route: the value is mantissa * 2^e, that is the integer mantissa * 2^e, or mantissa * 5^-e
// divided by 10^-e for a negative e. When that integer fits in 64 (or 128) bits, its decimal digits are
// the value's exact expansion, and the six digits are rounded from it directly.

template <typename U, int N> struct Powers {
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

// n / 10^power for a 64-bit n, each power a constant divisor (a multiplication, not a division).
uint64_t DivideByPowerOfTen(uint64_t n, int power) {
    switch (power) {
    case 1:
        return n / 10u;
    case 2:
        return n / 100u;
    case 3:
        return n / 1000u;
    case 4:
        return n / 10000u;
    case 5:
        return n / 100000u;
    case 6:
        return n / 1000000u;
    case 7:
        return n / 10000000u;
    case 8:
        return n / 100000000u;
    case 9:
        return n / 1000000000u;
    case 10:
        return n / 10000000000u;
    case 11:
        return n / 100000000000u;
    case 12:
        return n / 1000000000000u;
    case 13:
        return n / 10000000000000u;
    default:
        return n / kTens64.value[power];
    }
}

// Writes the value n / 10^scale (n > 0, `tens` the powers of ten of U). The 21-digit expansion that the
// long route rounds first has the same seventh digit as the exact one, unless it rounds up through digits
// 8 to 21 that are all 9 (the 22nd digit being 5 or more); the seventh digit then grows by one, which
// changes the rounding to six digits only when it was 4.
template <typename U> char* WriteExact(char* out, bool negative, U n, int scale, const U* tens) {
    int digits = (BitLength(n) * 1233) >> 12; // floor(bits * log10(2)): the digit count or one less
    digits += n >= tens[digits] ? 1 : 0;
    uint32_t leading = 0; // the first seven digits, zeros appended when there are fewer
    U rest = 0;
    if (digits <= 7) {
        leading = static_cast<uint32_t>(n * tens[7 - digits]);
    } else if (sizeof(U) == sizeof(uint64_t)) {
        leading = static_cast<uint32_t>(DivideByPowerOfTen(static_cast<uint64_t>(n), digits - 7));
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
    return WriteSix(out, negative, six, exponent);
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
    const unsigned zeros = static_cast<unsigned>(__builtin_ctzll(mantissa)); // the mantissa is not 0
    mantissa >>= zeros;
    binaryExponent += static_cast<int>(zeros);
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
    if (scale < 56 &&
        !__builtin_mul_overflow(static_cast<Uint128>(mantissa), kFives128.value[scale], &n128)) {
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

char* WriteInteger(char* out, int64_t value) {
    if (value >= 0 && value < 100) { // kinds, flags and most counts
        if (value < 10) {
            *out = static_cast<char>('0' + value);
            return out + 1;
        }
        std::memcpy(out, kDigitPairs + 2 * value, 2);
        return out + 2;
    }
    return std::to_chars(out, out + kNumberRoom, value).ptr;
}

char* WriteGeneral(char* out, double value) {
    if (char* end = WriteScaled(out, value)) {
        return end;
    }
    if (char* end = WriteExactExpansion(out, value)) {
        return end;
    }
    return WriteByExpansion(out, value);
}

void AppendInteger(std::string& out, int64_t value) {
    char text[kNumberRoom];
    out.append(text, static_cast<size_t>(WriteInteger(text, value) - text));
}

void AppendGeneral(std::string& out, double value) {
    char text[kNumberRoom];
    out.append(text, static_cast<size_t>(WriteGeneral(text, value) - text));
}

void AppendGeneralByExpansion(std::string& out, double value) {
    char text[kNumberRoom];
    out.append(text, static_cast<size_t>(WriteByExpansion(text, value) - text));
}

std::string GeneralText(double value) {
    std::string out;
    AppendGeneral(out, value);
    return out;
}

} // namespace quorix::runtime
