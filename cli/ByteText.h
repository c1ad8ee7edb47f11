#pragma once

#include "entry/ShownText.h"

#include <string>

namespace quorix::cli {

// Names in the Quorix files are byte strings in no particular character set. These helpers tell which of
// them are valid UTF-8 and give a displayable form of the others.

// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const std::string& bytes);

// `bytes` with each byte that does not belong to a well-formed UTF-8 sequence replaced by U+FFFD.
std::string ToValidUtf8(const std::string& bytes);

// The bytes in lower-case hexadecimal, two digits each.
std::string HexOf(const std::string& bytes);

// A name as text to show: the name itself when it is valid UTF-8, else each byte read in the host's 8-bit
// code page (Windows-1252) and written as UTF-8, the five bytes that code page leaves unassigned shown as
// U+FFFD.
std::string CodePageText(const std::string& bytes);

// A single-precision value with the fewest digits that read back to the same value ("0.8", "1e-05"), or
// "inf", "-inf", "nan".
std::string ShortestText(float value);

} // namespace quorix::cli
