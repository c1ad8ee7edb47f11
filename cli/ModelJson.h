#pragma once

#include "entry/QuorImport.h"

#include <cstdio>
#include <string>

namespace quorix::cli {

// Writes the model of the reader that accepted the file as indented JSON, ending in a line feed. Names
// that are valid UTF-8 are JSON strings; any other name is an object {"hex": its bytes in hexadecimal,
// "text": the name with each invalid byte shown as U+FFFD}, so that every byte string is kept whole.
// Finite floats are written with the fewest digits that read back to the same single-precision value; the
// others are the strings "inf", "-inf" and "nan".
void WriteModelJson(const ImportReading& reading, const std::string& file, FILE* out);

} // namespace quorix::cli
