#pragma once

#include "layy/PlacementList.h"
#include "runtime/ByteSink.h"

#include <string>
#include <vector>

namespace quorix::detail {

// Writes the host's position file: one line of ten comma-separated fields per placed piece.
class PositionFileWriter {
public:
    static constexpr int kKindP = 8;
    static constexpr int kKindT = 16;

    // Lines name the pieces and models of these lists, which must outlive the writer.
    PositionFileWriter(const std::vector<std::string>& pieceNames, const std::vector<std::string>& modelNames)
        : pieces(pieceNames), models(modelNames) {}

    // "<piece>,<model>,<kind>,<flags>,<angle>,<x>,<y>,0,0,0" for `p`, into `file`. The placement's indices
    // must lie inside the name lists.
    void Line(runtime::ByteSink& file, const PlacementList::Entry& p) const;

private:
    // A list of names in the form a line stores them, each line feed as CR LF, one after another, so that
    // lines copy them in whole blocks of 16 bytes.
    class Names {
    public:
        explicit Names(const std::vector<std::string>& names);
        // The stored length of name `i`.
        size_t Length(size_t i) const { return starts[i + 1] - starts[i]; }
        // Puts name `i` at `out`, writing up to a block past its end; returns the end of the name.
        char* CopyTo(char* out, size_t i) const;

        static constexpr size_t kBlock = 16;

    private:
        std::string stored;         // the names, then a block of room
        std::vector<size_t> starts; // of each name in `stored`, then the end of the last
    };

    Names pieces;
    Names models;
};

} // namespace quorix::detail
