#pragma once

#include "layy/PairCounter.h"
#include "layy/PlacementList.h"
#include "platform/Memory.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Orders the placements of a lay for the position file and checks them against their counts.
//
// The host expects the position file ordered by model (in the order of the model names), then by piece
// (in the order of the piece names), then by the lay file's order, and every (model, piece) pair to have
// exactly as many placements as its count says. Placements are matched by name: a pair takes every not
// yet taken placement whose model name and piece name equal the pair's, so when a name stands twice in
// its list, the first of the equal entries takes the placements of both.
//
// This is done without walking the pairs. Each name is mapped to the first index that carries it, and
// each placement with valid indices is keyed by the pair of those first indices (whose names are its
// own). Then a pair of first indices takes exactly the placements of its key, and any other pair takes
// none: the counts agree when every pair of first indices has as many placements as its count, and every
// other pair a count of 0 (or none). The counts, in key order, give where each pair's lines begin; one
// pass over the placements puts each one's index at its pair's next line. The result and the cases that
// fail are exactly those of walking every pair over every placement.
namespace quorix::detail {
using PairKey = PairCounter::Key; // (model index, piece index), the key the lay reader counts by

// The placements of the position file in the order in which they are written, each by its index in the
// lay: four bytes a line, where a copy of what the lines take would be four times as much.
class PositionOrder {
public:
    size_t Lines() const { return lines.size(); }
    uint32_t PlacementOf(size_t line) const { return lines[line]; }

private:
    friend bool MatchPositions(const std::vector<std::string>& modelNames,
                               const std::vector<std::string>& pieceNames, const PlacementList& placements,
                               const std::map<PairKey, int32_t>& counts, PositionOrder& order);
    memory::LargeArray<uint32_t> lines;
};

// Puts the placements that the position file takes into `order`, in the order in which they are written.
// Returns false, with `order` empty, when the placements and the counts disagree. Placements whose
// indices lie outside the name lists are never taken. Throws std::bad_alloc for a lay of more than 2^32
// placements.
bool MatchPositions(const std::vector<std::string>& modelNames, const std::vector<std::string>& pieceNames,
                    const PlacementList& placements, const std::map<PairKey, int32_t>& counts,
                    PositionOrder& order);
} // namespace quorix::detail
