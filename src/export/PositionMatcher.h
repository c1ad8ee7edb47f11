#pragma once

#include "layy/PairCounter.h"
#include "layy/Placement.h"

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
// This is done without walking the pairs: each name is mapped to the first index that carries it, each
// placement with valid indices is keyed by the pair of those first indices and put in key order by a
// stable counting sort by model, then a stable sort by piece within each model (counting when the model
// has at least as many placements as there are pieces, else merging), and the runs of equal keys must be
// as long as the counts of their pairs. The result and the cases that fail are exactly those of walking
// every pair over every placement.
namespace quorix::detail {
using PairKey = PairCounter::Key; // (model index, piece index), the key the lay reader counts by

// What the position file takes of a placement. The model and the piece are the first entries of the name
// lists with the placement's names, which are the names written.
struct Position {
    uint32_t model;
    uint32_t piece;
    float angle; // as stored
    float x;
    float y;
    bool turned; // the placement's flag1
    bool flag2;
    bool isP;
};

// Fills `ordered` with what the position file takes of the placements, in the order in which they are
// written, so that the lines are written from consecutive memory rather than from all over the lay.
// Returns false, with `ordered` empty, when the placements and the counts disagree. Placements whose
// indices lie outside the name lists are never taken.
bool MatchPositions(const std::vector<std::string>& modelNames, const std::vector<std::string>& pieceNames,
                    const std::vector<Placement>& placements, const std::map<PairKey, int32_t>& counts,
                    std::vector<Position>& ordered);
} // namespace quorix::detail
