#pragma once

#include <string>

// Names in the Quorix files are byte strings in no particular character set. These helpers tell which of
// them are valid UTF-8 and give a displayable form of the others.

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const std::string& bytes);

// `bytes` with each byte that does not belong to a well-formed UTF-8 sequence replaced by U+FFFD.
std::string ToValidUtf8(const std::string& bytes);

// The bytes in lower-case hexadecimal, two digits each.
std::string HexOf(const std::string& bytes);

// The length of the well-formed UTF-8 sequence that starts at byte `at`, or 0 when none does.
size_t Utf8SequenceLength(const std::string& bytes, size_t at);
