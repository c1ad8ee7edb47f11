#pragma once

#include "platform/TextModeWriter.h"

#include <string>
#include <string_view>

// Writes the host's position file: one line of ten comma-separated fields per placed piece.
class PositionFileWriter {
public:
    static constexpr int kKindP = 8;
    static constexpr int kKindT = 16;

    // Creates or truncates the file; false when it cannot be opened.
    bool Open(const std::string& path);
    // Keeps the lines in memory instead (a part of the file made at the same time as the rest): Lines()
    // gives them, in their stored form, for AppendLines of the writer of the file. `expected` is the
    // room taken at once, in bytes.
    void OpenInMemory(size_t expected);
    // The longest line that Record writes for these names when they hold no line feed.
    static size_t ExpectedLength(const std::string& pieceName, const std::string& modelLabel);
    std::string_view Lines() const { return file.Collected(); }
    void AppendLines(std::string_view lines);

    // "<piece>,<model>,<kind>,<flags>,<angle>,<x>,<y>,0,0,0"
    void Record(const std::string& pieceName, const std::string& modelLabel, int kind, int flags, float angle,
                float x, float y);
    void Close();

private:
    TextModeWriter file;
};
