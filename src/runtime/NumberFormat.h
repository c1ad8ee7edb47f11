#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorix::runtime {

// Numbers as the target runtime's output streams write them with their default formatting. Independent of
// the process's locale and of any stream state.

// The room that WriteInteger and WriteGeneral need at their destination (the text itself is shorter).
constexpr size_t kNumberRoom = 32;
// The longest text WriteGeneral writes ("-1.23457e+308").
constexpr size_t kLongestGeneral = 13;

// Plain decimal, a leading '-' when negative.
void AppendInteger(std::string& out, int64_t value);

// General notation with at most 6 significant digits, as the target's "%g": fixed notation unless the
// decimal exponent (after rounding) is below -4 or at least 6, trailing zeros and a trailing decimal point
// removed, the exponent written with a sign and at least three digits (1.23457e+006, 1e-005). Rounding is
// half away from zero on the decimal expansion, as the target's formatter rounds. Special values are written
// as the target writes them: 1.#INF, -1.#INF, 1.#QNAN, -1.#QNAN, -1.#IND.
void AppendGeneral(std::string& out, double value);
// The same for a single-precision value, written as the target writes it widened to double; its digits by
// exact integer arithmetic on the float.
void AppendGeneral(std::string& out, float value);
// The same, always by way of the 21-digit expansion that the target's formatter rounds from: the reference
// that the quick path of AppendGeneral, taken by most values, and the exact path of floats must agree with.
void AppendGeneralByExpansion(std::string& out, double value);

// AppendInteger and AppendGeneral into a character buffer with kNumberRoom characters of room from `out`;
// they return the end of the text.
char* WriteInteger(char* out, int64_t value);
char* WriteGeneral(char* out, double value);
char* WriteGeneral(char* out, float value);

} // namespace quorix::runtime
