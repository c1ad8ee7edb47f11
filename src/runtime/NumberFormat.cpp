#include "runtime/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstring>

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

// The layout. Six digits are kept as characters in an integer word, the first in its lowest byte, and
// moved eight bytes at a time: positions and angles change their length from one number to the next, which
// a branch on the digits would guess wrong.

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The two digit characters of `pair` (0 to 99), the first in the lower byte.
inline uint64_t PairWord(uint32_t pair) {
    const char* at = kDigitPairs + 2 * size_t{pair};
    return static_cast<uint64_t>(static_cast<unsigned char>(at[0])) |
           (static_cast<uint64_t>(static_cast<unsigned char>(at[1])) << 8);
}

// Stores the eight bytes of `word` from `out`, its lowest byte first, on a host of either byte order (one
// store where the order is that already).
inline void Store8(char* out, uint64_t word) {
    out[0] = static_cast<char>(word);
    out[1] = static_cast<char>(word >> 8);
    out[2] = static_cast<char>(word >> 16);
    out[3] = static_cast<char>(word >> 24);
    out[4] = static_cast<char>(word >> 32);
    out[5] = static_cast<char>(word >> 40);
    out[6] = static_cast<char>(word >> 48);
    out[7] = static_cast<char>(word >> 56);
}

// Writes the value of decimal exponent `exponent` whose six significant digits, rounded, are `six` (100000
// to 999999, or 1000000 when rounding carried out of them): fixed notation unless the exponent is below -4 or
// at least 6, then one digit before the point and the exponent with a sign and three digits; trailing zeros
// and a trailing point left out. Touches up to kNumberRoom characters from `out`.
inline char* WriteSix(char* out, bool negative, uint32_t six, int exponent) {
    if (six == 1000000) {
        six = 100000;
        ++exponent;
    }
    const uint64_t kept = PairWord(six / 10000) | (PairWord(six / 100 % 100) << 16) |
                          (PairWord(six % 100) << 32) | (uint64_t{0x3030} << 48);
    // The digits up to the last that is not '0': the highest of their bytes that differs from '0', whose
    // place is the binary exponent of those differing bits as a double (exact below 2^53; never 0, the
    // first digit is not '0').
    const double differing = static_cast<double>((kept ^ 0x303030303030u) & 0xFFFFFFFFFFFFu);
    uint64_t differingBits = 0;
    std::memcpy(&differingBits, &differing, sizeof differingBits);
    const int used = static_cast<int>((differingBits >> 52) - 1023) / 8 + 1;
    const bool scientific = exponent < -4 || exponent >= kSignificantDigits;
    const int shown = scientific ? 0 : exponent; // the exponent of the fixed layout
    // "0." and zeros before the digits when it is negative; else the digits with a point after the
    // integer part, unless nothing follows.
    *out = '-';
    char* p = out + (negative ? 1 : 0);
    const bool fraction = shown < 0;
    const int whole = fraction ? 0 : shown + 1; // digits before the point
    const int shift = 8 * whole;
    const uint64_t dotted =
        (kept & ((uint64_t{1} << shift) - 1)) | (uint64_t{'.'} << shift) | ((kept >> shift) << (shift + 8));
    const bool point = !fraction && used > whole;
    const int prefix = fraction ? 1 - shown : 0; // "0." and -shown - 1 zeros
    std::memcpy(p, "0.000000", 8);
    Store8(p + prefix, point ? dotted : kept);
    p += prefix + (fraction ? used : (point ? used + 1 : whole));
    if (!scientific) {
        return p;
    }
    // A double's decimal exponent has at most three digits.
    const int magnitude = exponent < 0 ? -exponent : exponent;
    const char text[] = {'e', exponent < 0 ? '-' : '+', static_cast<char>('0' + magnitude / 100),
                         static_cast<char>('0' + magnitude / 10 % 10),
                         static_cast<char>('0' + magnitude % 10)};
    std::memcpy(p, text, sizeof text);
    return p + sizeof text;
}

// The binary exponent e of a finite `magnitude` above 0: magnitude in [2^e, 2^(e+1)).
inline int BinaryExponent(double magnitude) {
    uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    return static_cast<int>(bits >> 52) - 1023;
}

// floor(e * log10(2)): the decimal exponent of the values of binary exponent e, or one less. 1233 / 4096 is
// just below log10(2), close enough for every e from -600 to 600, which holds every float's and the quick
// path's; e is offset to keep the product positive.
inline int DecimalExponentBelow(int binaryExponent) {
    return ((binaryExponent + 4096) * 1233 >> 12) - 1233;
}

// The reference path: the six digits and the exponent of a finite `magnitude` above 0 from the 21-digit
// expansion that the target's formatter rounds from, rounded half up on its seventh digit.
void ExpansionDigits(double magnitude, uint32_t& six, int& exponent) {
    // d.dddddddddddddddddddde±x: the first 21 significant digits, correctly rounded.
    char expansion[64];
    const auto result = std::to_chars(expansion, expansion + sizeof expansion, magnitude,
                                      std::chars_format::scientific, kExpansionDigits - 1);
    six = static_cast<uint32_t>(expansion[0] - '0');
    for (int i = 2; i <= kSignificantDigits; ++i) {
        six = 10 * six + static_cast<uint32_t>(expansion[i] - '0');
    }
    six += expansion[kSignificantDigits + 1] >= '5' ? 1 : 0;
    const char* e = expansion + kExpansionDigits + 1;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), result.ptr, exponent);
}

// The quick path: the six digits and the exponent of `magnitude`, for magnitudes from 1e-5 to 1e15; false
// where it declines a value, which then takes the reference path. The decimal exponent is estimated from the
// binary one, which gives it or one less; the value is then scaled by one multiplication to 10^5 or 10^6
// times its first digit, and by 2^20 more, which leaves its first six or seven digits in the integer part and
// 20 bits of what follows below them. The multiplication is off by at most 2^-52 relative (the powers of ten
// below 1 are themselves rounded), that is less than 2.3e-9 units of the seventh digit: far less than 2^-20.
// Unless the rest lies within 2^-19 of a half, the value rounds to six digits as the exact value does; and so
// does the 21-digit expansion, which is far closer to the exact value than that. Everything after the one
// multiplication is integer work without a branch on the digits.
bool ScaledDigits(double magnitude, uint32_t& six, int& exponent) {
    constexpr double kFractionScale = 1048576.0; // 2^20
    // 10^(5 - e) * 2^20 for the estimates e from -6 to 14.
    static constexpr double kScales[] = {1e11 * kFractionScale, 1e10 * kFractionScale, 1e9 * kFractionScale,
                                         1e8 * kFractionScale,  1e7 * kFractionScale,  1e6 * kFractionScale,
                                         1e5 * kFractionScale,  1e4 * kFractionScale,  1e3 * kFractionScale,
                                         1e2 * kFractionScale,  1e1 * kFractionScale,  1e0 * kFractionScale,
                                         1e-1 * kFractionScale, 1e-2 * kFractionScale, 1e-3 * kFractionScale,
                                         1e-4 * kFractionScale, 1e-5 * kFractionScale, 1e-6 * kFractionScale,
                                         1e-7 * kFractionScale, 1e-8 * kFractionScale, 1e-9 * kFractionScale};
    if (!(magnitude >= 1e-5 && magnitude < 1e15)) {
        return false;
    }
    const int estimate = DecimalExponentBelow(BinaryExponent(magnitude)); // from -6 to 14
    const uint64_t scaled = static_cast<uint64_t>(magnitude * kScales[estimate + 6]);
    const uint64_t leading = scaled >> 20; // six digits, or seven when the estimate was one too low
    if (leading < 100000 || leading > 9999999) {
        return false; // the estimate was off (a rounded power of ten)
    }
    // Without a branch on which it is: the values of a lay fall on both sides at random.
    const uint64_t unit = leading >= 1000000 ? 10 : 1; // of the sixth digit, in units of `leading`
    const uint64_t tenth = leading / 10;
    const uint64_t sevenMask = uint64_t{0} - (unit / 10); // all ones when there are seven digits
    const uint64_t kept = (tenth & sevenMask) | (leading & ~sevenMask);
    // What follows the six digits, in units of `leading` times 2^20, and its half.
    const uint64_t rest = scaled - ((kept * unit) << 20);
    const uint64_t half = unit << 19;
    if (rest - (half - 2) < 4) {
        return false; // too near a half to tell
    }
    six = static_cast<uint32_t>(kept) + (rest >= half ? 1 : 0);
    exponent = estimate + static_cast<int>(unit / 10);
    return true;
}

// The exact path, for single-precision values: a float is m * 2^b with m below 2^24 and b from -149 to 104,
// and the 21-digit expansion of the value rounds it half to even on its 21st digit and then half up on its
// seventh. That rounds the six up exactly when the digits after them, as a fraction r of a unit in the
// sixth, reach 1/2 - 1/(2 * 10^15). Where r is a multiple of 1/d for an even d below 2 * 10^15, it is either
// at least 1/2 or at most 1/2 - 1/d, and the six round half up on the exact value; elsewhere the 21 digits
// are worked out.
constexpr int kLimbs = 5;
constexpr int kMostFifths = 65;    // the largest power of five needed, for the smallest floats
constexpr int kDividedFifths = 13; // 5^13 is the largest power of five below 2^31: one pass of a division
constexpr int kShortFifths = 17;   // m * 5^17 is below 2^64
constexpr int kShortFraction = 46; // 47 bits after the point: 5 * 2^48 is below 2 * 10^15

struct FloatDigits {
    uint32_t six;
    int exponent;
};

// Powers of five in 32-bit limbs, lowest first, so that 32- and 64-bit builds do the same work.
struct FifthPowers {
    uint32_t limbs[kMostFifths + 1][kLimbs]; // 5^q
    int used[kMostFifths + 1];               // its limbs up to the highest that is not 0
    uint64_t low[kMostFifths + 1];           // its lowest 64 bits, all of it up to 5^27
};

constexpr FifthPowers MakeFifthPowers() {
    FifthPowers powers{};
    uint32_t power[kLimbs] = {1, 0, 0, 0, 0};
    for (int q = 0; q <= kMostFifths; ++q) {
        powers.low[q] = power[0] | uint64_t{power[1]} << 32;
        uint64_t carry = 0;
        for (int i = 0; i < kLimbs; ++i) {
            powers.limbs[q][i] = power[i];
            powers.used[q] = power[i] != 0 ? i + 1 : powers.used[q];
            const uint64_t product = uint64_t{power[i]} * 5 + carry;
            power[i] = static_cast<uint32_t>(product);
            carry = product >> 32;
        }
    }
    return powers;
}
constexpr FifthPowers kFifthPowers = MakeFifthPowers();

// floor(number / 2^from) modulo 2^64 for `from` from -63 on, of a number held in `count` limbs.
inline uint64_t Window(const uint32_t* limbs, int count, int from) {
    uint64_t window = 0;
    for (int i = 0; i < count; ++i) {
        const int at = 32 * i - from; // where the limb's lowest bit lands in the window
        if (at >= 0 && at < 64) {
            window |= uint64_t{limbs[i]} << at;
        } else if (at < 0 && at > -32) {
            window |= limbs[i] >> -at;
        }
    }
    return window;
}

// The six digits of `mantissa` * 2^`binary` from Z = floor(2 * value * 10^(20 - estimate)), the 21 digits
// (22 when the estimate is one below the exponent) and the bit after them, rounded up when Z mod 2 * 10^15,
// that is floor(2 * 10^15 * r), is at least 10^15 - 1. Z is an integer product: for q = 20 - estimate from 0
// to 65 it is m * 5^q shifted by b + 1 + q bits, for q from -18 to -1 it is m * 2^(b + 1 + q) divided by
// 5^-q; both fit in 160 bits.
FloatDigits ExpandedFloatDigits(uint32_t mantissa, int binary, int estimate) {
    const int fifths = 20 - estimate;
    uint32_t limbs[kLimbs + 1] = {};
    int count = 0;
    int from = 0; // Z = floor(the number in the limbs / 2^from)
    if (fifths >= 0) {
        const uint32_t* power = kFifthPowers.limbs[fifths];
        uint64_t carry = 0;
        for (; count < kFifthPowers.used[fifths]; ++count) {
            const uint64_t product = uint64_t{mantissa} * power[count] + carry;
            limbs[count] = static_cast<uint32_t>(product);
            carry = product >> 32;
        }
        limbs[count++] = static_cast<uint32_t>(carry);
        from = -(binary + 1 + fifths);
    } else {
        const int shift = binary + 1 + fifths; // at least 29: the value is at least 10^21
        limbs[shift / 32] = mantissa << (shift % 32);
        limbs[shift / 32 + 1] = static_cast<uint32_t>(uint64_t{mantissa} >> (32 - shift % 32));
        count = shift / 32 + 2;
        for (int left = -fifths; left > 0; left -= kDividedFifths) {
            const uint64_t divisor = kFifthPowers.limbs[left < kDividedFifths ? left : kDividedFifths][0];
            uint64_t remainder = 0;
            for (int i = count - 1; i >= 0; --i) {
                const uint64_t current = (remainder << 32) | limbs[i];
                limbs[i] = static_cast<uint32_t>(current / divisor);
                remainder = current % divisor;
            }
        }
    }
    uint64_t high = Window(limbs, count, from + 16); // Z = high * 2^16 + low
    uint64_t low = Window(limbs, count, from) & 0xFFFF;
    int exponent = estimate;
    constexpr uint64_t kFive15 = 30517578125; // 2 * 10^15 = 2^16 * 5^15
    if (high >= kFive15 * 1000000) {          // 2 * 10^21 / 2^16
        // 22 digits: the exponent is one more, and its Z is floor(Z / 10). With high = 5 * tenth + r,
        // Z / 10 = tenth * 2^15 + (r * 2^16 + low) / 10, the latter below 2^15.
        const uint64_t tenth = high / 5;
        const uint64_t below = (((high - 5 * tenth) << 16) | low) / 10;
        high = tenth >> 1;
        low = ((tenth & 1) << 15) | below;
        ++exponent;
    }
    const uint64_t leading = high / kFive15; // Z / (2 * 10^15)
    const uint64_t rest = ((high - leading * kFive15) << 16) | low;
    return {static_cast<uint32_t>(leading) + (rest >= 999999999999999u ? 1 : 0), exponent};
}

// The six digits and the exponent of a float `magnitude` from 2^-149 to FLT_MAX, rounded as the 21-digit
// expansion of its value widened to double rounds them.
inline FloatDigits ExactDigits(float magnitude) {
    uint32_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biased = static_cast<int>(bits >> 23);
    const uint32_t mantissa = (bits & 0x7FFFFFu) | 0x800000u;
    // 2 * value * 10^scale = mantissa * 5^scale * 2^shift, below 4 * 10^6: six digits and a bit, or seven
    // and a bit when the estimate is one below the exponent. The estimate is that of a normal float; a
    // subnormal one, whose scale is beyond the short one, has its own worked out.
    const int estimate = DecimalExponentBelow(biased - 127);
    const int scale = 5 - estimate;
    const int shift = biased - 149 + scale; // below 0, as the mantissa is at least 2^23
    if (static_cast<unsigned>(scale) > kShortFifths || shift < -kShortFraction) {
        return biased != 0 ? ExpandedFloatDigits(mantissa, biased - 150, estimate)
                           : ExpandedFloatDigits(mantissa & 0x7FFFFFu, -149,
                                                 DecimalExponentBelow(BinaryExponent(magnitude)));
    }
    // With at most 47 bits after the point, r is a multiple of 2^-47, or of 1 / (5 * 2^48) when divided by
    // ten: half up on the exact value.
    const uint64_t twice = mantissa * kFifthPowers.low[scale] >> -shift;
    const bool seven = twice >= 2000000;
    return {static_cast<uint32_t>(((seven ? twice / 10 : twice) + 1) >> 1), estimate + (seven ? 1 : 0)};
}

// The general notation, its digits by the quick path when `quick` and the value takes it, else by the
// reference path, and laid out once. Floats have their own exact path (WriteGeneral of a float).
char* Write(char* out, double value, bool quick) {
    const double magnitude = std::fabs(value);
    uint32_t six = 0;
    int exponent = 0;
    if (!quick || !ScaledDigits(magnitude, six, exponent)) {
        if (!std::isfinite(value)) {
            return WriteSpecial(out, value);
        }
        if (value == 0.0) {
            return Put(out, std::signbit(value) ? "-0" : "0");
        }
        ExpansionDigits(magnitude, six, exponent);
    }
    return WriteSix(out, std::signbit(value), six, exponent);
}
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
    return Write(out, value, true);
}

char* WriteGeneral(char* out, float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    if ((bits & 0x7FFFFFFFu) - 1 >= 0x7F7FFFFFu) {
        return Write(out, value, false); // zeros, infinities and NaNs as the value widened is written
    }
    const FloatDigits digits = ExactDigits(std::fabs(value));
    return WriteSix(out, (bits >> 31) != 0, digits.six, digits.exponent);
}

void AppendInteger(std::string& out, int64_t value) {
    char text[kNumberRoom];
    out.append(text, static_cast<size_t>(WriteInteger(text, value) - text));
}

void AppendGeneral(std::string& out, double value) {
    char text[kNumberRoom];
    out.append(text, static_cast<size_t>(WriteGeneral(text, value) - text));
}

void AppendGeneral(std::string& out, float value) {
    char text[kNumberRoom];
    out.append(text, static_cast<size_t>(WriteGeneral(text, value) - text));
}

void AppendGeneralByExpansion(std::string& out, double value) {
    char text[kNumberRoom];
    out.append(text, static_cast<size_t>(Write(text, value, false) - text));
}

} // namespace quorix::runtime
