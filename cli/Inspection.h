#pragma once

#include "Converter.h"
#include "layy/QuorLayY.h"
#include "marker/QuorMarker.h"
#include "marker/QuorStyle.h"

#include <memory>
#include <string>
#include <vector>

// The style file of one style entry of a marker, loaded as the marker's resolution loads it.
struct StyleReading {
    std::string path; // in the operating system's form
    std::unique_ptr<QuorStyle> style;
    bool loaded = false;
    std::string refusal; // why the style reader refused the file, when it did
};

// What the readers make of one input file, read with the readers themselves rather than through an
// import: the model of the reader that accepted the file, and what was found on the way.
struct Inspection {
    int exitCode = kExitOk;
    std::vector<std::string> errors;      // as a conversion reports them
    std::vector<std::string> diagnostics; // the lay's record warnings and each reader's verdict
    std::unique_ptr<QuorLayY> lay;        // set when the lay reader accepted the file
    std::unique_ptr<QuorMarker> marker;   // set when the marker reader accepted it
    std::vector<StyleReading> styles;     // one per style entry of a parsed marker, in entry order
};

// Reads `file` with the lay reader and, when that refuses it, with the marker reader and the style files
// that the marker names. With `reportToHostLog` the module's host-log reports (and the report of a file in
// neither format) become errors, as in a conversion; without, they are left to a conversion that follows.
Inspection Inspect(const std::string& file, bool reportToHostLog);
