#pragma once

#include <cstddef>
#include <string>

namespace quorix {

// Names in the Quorix files are byte strings in no particular character set. Messages show them so that
// no name can move a terminal's cursor, recolour it or split a line.

// The length of the well-formed UTF-8 sequence that starts at byte `at` (no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0 when none does.
size_t Utf8SequenceLength(const std::string& bytes, size_t at);

// A byte string as messages show it: printable ASCII and valid UTF-8 as they are, a backslash doubled
// (unless `backslashAsIs`), a line feed, tab or carriage return as \n, \t or \r, and every other control
// byte and every byte outside a valid UTF-8 sequence as \xNN.
std::string Escaped(const std::string& bytes, bool backslashAsIs = false);

} // namespace quorix
