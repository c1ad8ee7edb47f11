#pragma once

#include "platform/TextModeWriter.h"

#include <string>
#include <string_view>
#include <vector>

// Writes the host's position file: one line of ten comma-separated fields per placed piece.
class PositionFileWriter {
public:
    static constexpr int kKindP = 8;
    static constexpr int kKindT = 16;

    // A list of names (the pieces' or the models') in the form a line stores them, each line feed as
    // CR LF, one after another, so that lines copy them in whole blocks of 16 bytes.
    class Names {
    public:
        explicit Names(const std::vector<std::string>& names);
        size_t Size() const { return starts.size() - 1; }
        // The stored length of name `i`.
        size_t Length(size_t i) const { return starts[i + 1] - starts[i]; }

    private:
        friend class PositionFileWriter;
        static constexpr size_t kBlock = 16;
        // Puts name `i` at `out`, writing up to a block past its end; returns the end of the name.
        char* CopyTo(char* out, size_t i) const;

        std::string stored;         // the names, then a block of room
        std::vector<size_t> starts; // of each name in `stored`, then the end of the last
    };

    // Creates or truncates the file; false when it cannot be opened.
    bool Open(const std::string& path);
    // Keeps the lines in memory instead (a part of the file made at the same time as the rest): Lines()
    // gives them, in their stored form, for AppendLines of the writer of the file. `expected` is the
    // room taken at once, in bytes.
    void OpenInMemory(size_t expected);
    std::string_view Lines() const { return file.Collected(); }
    void AppendLines(std::string_view lines);

    // The longest line that Record writes with names of these stored lengths.
    static size_t ExpectedLength(size_t pieceLength, size_t modelLength);

    // "<piece>,<model>,<kind>,<flags>,<angle>,<x>,<y>,0,0,0": piece name `piece` of `pieces`, model name
    // `model` of `models`.
    void Record(const Names& pieces, size_t piece, const Names& models, size_t model, int kind, int flags,
                float angle, float x, float y);
    void Close();

private:
    TextModeWriter file;
};
