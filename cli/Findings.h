#pragma once

#include "Platform.h"
#include "entry/ImportReport.h"
#include "entry/QuorImport.h"
#include "entry/ShownText.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorix::cli {

// A path as the converter prints it: escaped, but where a backslash separates folders (Windows) it is
// shown as itself.
inline std::string EscapedPath(const std::string& path) {
    return Escaped(path, platform::kBackslashSeparates);
}

// What the converter tells about one reading besides the import itself.
struct Findings {
    // For --verbose: the lay's record warnings with their offsets, the verdict of a reader that accepted
    // the file, the style files of a marker that could not be read, and a refusing reader's reason where
    // it tells nothing that the verdict does not.
    std::vector<std::string> diagnostics;
    // Why the file was refused: the verdict in the user's words, then the reasons of the readers that
    // tell more.
    Refusal refusal;
    std::vector<std::string> refusals;
    // Shown unless -q: what the import files lose or get wrong, one "warning: " line each (capped per kind,
    // with a count of the rest).
    std::vector<std::string> warnings;
    size_t warningCount = 0; // every loss, shown or counted
    // For --verbose: what looks odd but changes no byte of the output, or changes it as the file says
    // (style names that leave the styles folder, a width that is zero or negative).
    std::vector<std::string> notes;
};

// `inputSize` is the size of the input in bytes, or -1 when it is not known.
Findings FindingsOf(const ImportReading& reading, int64_t inputSize);

} // namespace quorix::cli
