#pragma once

#include "files/QuorUnhandledFormatFeatureException.h"
#include "runtime/TextModeWriter.h"

#include <string>

// Writes one import file with `write` (which is handed the file's writer) and puts it in the place of the
// file at `path` (the module's form) once it is complete. False when the file could not be created,
// written or moved into place; the old file then stays as it was. When `write` throws the lay's position
// error, the host expects an empty file in place: what was started is put there (nothing is written
// before that error) and the error passes on.
template <typename Write> bool WriteImportFile(const std::string& path, Write&& write) {
    quorix::runtime::TextModeWriter file;
    if (!file.Create(path)) {
        return false;
    }
    try {
        write(file);
    } catch (const QuorUnhandledFormatFeatureException&) {
        file.Replace();
        throw;
    }
    return file.Replace();
}
