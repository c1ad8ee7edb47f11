#pragma once

#include <cstdint>
#include <string>

// Numbers as the target runtime's output streams write them with their default formatting. Independent of
// the process's locale and of any stream state.
class NumberFormat {
public:
    // Plain decimal, a leading '-' when negative.
    static void AppendInteger(std::string& out, int64_t value);

    // General notation with at most 6 significant digits, as the target's "%g": fixed notation unless the
    // decimal exponent (after rounding) is below -4 or at least 6, trailing zeros and a trailing decimal
    // point removed, the exponent written with a sign and at least three digits (1.23457e+006, 1e-005).
    // Rounding is half away from zero on the decimal expansion, as the target's formatter rounds. Special
    // values are written as the target writes them: 1.#INF, -1.#INF, 1.#QNAN, -1.#QNAN, -1.#IND.
    static void AppendGeneral(std::string& out, double value);

    static std::string General(double value);
};
