#pragma once

#include "platform/TextModeWriter.h"

#include <string>

// Writes the host's position file: one line of ten comma-separated fields per placed piece.
class PositionFileWriter {
public:
    static constexpr int kKindP = 8;
    static constexpr int kKindT = 16;

    // Creates or truncates the file; false when it cannot be opened.
    bool Open(const std::string& path);

    // "<piece>,<model>,<kind>,<flags>,<angle>,<x>,<y>,0,0,0"
    void Record(const std::string& pieceName, const std::string& modelLabel, int kind, int flags, float angle,
                float x, float y);
    void Close();

private:
    TextModeWriter file;
};
