#pragma once

#include "layy/Placement.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Orders the placements of a lay for the position file and checks them against their counts.
//
// The host expects the position file ordered by model (in the order of the model names), then by piece
// (in the order of the piece names), then by the lay file's order, and every (model, piece) pair to have
// exactly as many placements as its count says. Placements are matched by name: a pair takes every not
// yet taken placement whose model name and piece name equal the pair's, so when a name stands twice in
// its list, the first of the equal entries takes the placements of both.
//
// This is done in time linear in the placements and the names: each name is mapped to the first index
// that carries it, each placement with valid indices is keyed by the pair of those first indices and put
// in key order by a stable counting sort (over all pairs when there are no more pairs than placements,
// else by piece and then by model), and the counts of the pairs must equal the number of placements keyed
// to them. The result and the cases that fail are exactly those of walking every pair over every
// placement.
class PositionMatcher {
public:
    using PairKey = std::pair<int32_t, int32_t>;

    // Fills `order` with indices into `placements`, in the order in which they are written. Returns false
    // when the placements and the counts disagree. Placements whose indices lie outside the name lists
    // are never taken.
    static bool Match(const std::vector<std::string>& modelNames, const std::vector<std::string>& pieceNames,
                      const std::vector<Placement>& placements, const std::map<PairKey, int32_t>& counts,
                      std::vector<size_t>& order);

    // What the position file takes of a placement.
    struct Position {
        int32_t modelIndex;
        int32_t pieceIndex;
        float angle; // as stored
        float x;
        float y;
        bool flag1;
        bool flag2;
        bool isP;
    };

    // The same matching, with the positions of the placements in the order in which they are written
    // instead of their indices.
    static bool Match(const std::vector<std::string>& modelNames, const std::vector<std::string>& pieceNames,
                      const std::vector<Placement>& placements, const std::map<PairKey, int32_t>& counts,
                      std::vector<Position>& ordered);
};
