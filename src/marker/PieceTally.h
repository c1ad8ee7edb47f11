#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

// One piece of a size model: the counts of a piece summed over the styles that list the size. Tallies are
// ordered by piece name (bytes compared as unsigned), then size value, then size count; the sums take no
// part in the order and are updated in place.
struct PieceTally {
    std::string pieceName;
    float sizeValue = 0.0f;
    int32_t sizeCount = 0;
    mutable int32_t quantity = 0;
    mutable int32_t extraQuantity = 0;

    // Adds `copies` times the piece's counts, in plain 32-bit wrapping arithmetic.
    void Add(int32_t pieceQuantity, int32_t pieceExtraQuantity, uint32_t copies) const;
};

struct PieceTallyOrder {
    bool operator()(const PieceTally& a, const PieceTally& b) const;
};

using SizeModel = std::set<PieceTally, PieceTallyOrder>;
using SizeModels = std::map<int32_t, SizeModel>;
