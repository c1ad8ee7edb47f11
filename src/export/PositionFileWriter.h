#pragma once

#include "runtime/ByteSink.h"

#include <string>
#include <vector>

namespace quorix::detail {

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

    // Writes the lines into `file`, which must outlive the writer.
    explicit PositionFileWriter(runtime::ByteSink& file) : file(file) {}

    // The longest line that Record writes with names of these stored lengths.
    static size_t ExpectedLength(size_t pieceLength, size_t modelLength);

    // "<piece>,<model>,<kind>,<flags>,<angle>,<x>,<y>,0,0,0": piece name `piece` of `pieces`, model name
    // `model` of `models`.
    void Record(const Names& pieces, size_t piece, const Names& models, size_t model, int kind, int flags,
                float angle, float x, float y);

private:
    runtime::ByteSink& file;
};

} // namespace quorix::detail
