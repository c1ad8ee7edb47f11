#pragma once

#include <cstdint>

namespace quorix::runtime {

// Number conversions of the target's C runtime, independent of the process's locale: the decimal point is
// always '.', and white space is the C locale's.

// As the target's atoi: white space skipped, an optional sign, then decimal digits up to the first other
// character, accumulated in plain 32-bit arithmetic (an overlong number wraps); 0 when no digit comes.
int32_t Atoi(const char* text);

// As the target's atof: white space skipped, an optional sign, digits with an optional decimal point, an
// optional exponent introduced by 'e', 'E', 'd' or 'D'; 0 when no digit comes. Correctly rounded; too large
// a value gives an infinity, too small a value zero.
double Atof(const char* text);

// Rounds a double to single precision as the processor does, without undefined behaviour for values beyond
// the float range (they become the largest float or an infinity).
float NarrowToFloat(double value);

inline bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace quorix::runtime
