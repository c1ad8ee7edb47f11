#pragma once

#include "Platform.h"
#include "entry/QuorImport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorix::cli {

// A byte string as the converter prints it: printable ASCII and valid UTF-8 as they are, a backslash
// doubled (unless `backslashAsIs`), a line feed, tab or carriage return as \n, \t or \r, and every other
// control byte and every byte outside a valid UTF-8 sequence as \xNN, so that no name can move the cursor,
// recolour the terminal or split a line.
std::string Escaped(const std::string& bytes, bool backslashAsIs = false);
// A path as the converter prints it: escaped, but where a backslash separates folders (Windows) it is
// shown as itself.
inline std::string EscapedPath(const std::string& path) {
    return Escaped(path, platform::kBackslashSeparates);
}

// What the converter tells about one reading besides the import itself.
struct Findings {
    // For --verbose: the lay's record warnings with their offsets, the verdict of a reader that accepted
    // the file, and the style files of a marker that could not be read.
    std::vector<std::string> diagnostics;
    // Why neither reader accepted the file: one line per reader, with the record's offset where the lay
    // reader's walk ended on one.
    std::vector<std::string> refusals;
    // For --verbose: what the import files will silently lack or get wrong, one line each.
    std::vector<std::string> warnings;
    // Shown always: a style file that could not be read although the marker loaded (its sizes get no
    // pieces, so the import files lack them without any other sign).
    std::vector<std::string> alwaysShown;
};

// `inputSize` is the size of the input in bytes, or -1 when it is not known.
Findings FindingsOf(const ImportReading& reading, int64_t inputSize);

// The style reading that made a marker refuse the file (the last style entry's), or null.
const StyleReading* RefusedStyle(const ImportReading& reading);

} // namespace quorix::cli
