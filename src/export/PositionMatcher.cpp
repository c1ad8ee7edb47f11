#include "export/PositionMatcher.h"

#include <string_view>
#include <unordered_map>

namespace {
// For each entry, the index of the first entry with the same name.
std::vector<size_t> FirstIndexByName(const std::vector<std::string>& names) {
    std::vector<size_t> first(names.size());
    std::unordered_map<std::string_view, size_t> seen;
    seen.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        first[i] = seen.emplace(names[i], i).first->second;
    }
    return first;
}

bool InRange(int32_t index, size_t size) {
    return index >= 0 && static_cast<size_t>(index) < size;
}

// The pairs that `counts` gives a count other than 0, inside the name lists, in key order.
class CountedPairs {
public:
    CountedPairs(const std::map<PositionMatcher::PairKey, int32_t>& counts, size_t models, size_t pieces)
        : it(counts.lower_bound(PositionMatcher::PairKey(0, 0))), end(counts.end()), models(models),
          pieces(pieces) {
        SkipUncounted();
    }
    bool Done() const { return it == end; }
    size_t Model() const { return static_cast<size_t>(it->first.first); }
    size_t Piece() const { return static_cast<size_t>(it->first.second); }
    uint32_t Count() const { return static_cast<uint32_t>(it->second); }
    void Next() {
        ++it;
        SkipUncounted();
    }

private:
    void SkipUncounted() {
        while (it != end &&
               (!InRange(it->first.first, models) || !InRange(it->first.second, pieces) || it->second == 0)) {
            ++it;
        }
    }

    std::map<PositionMatcher::PairKey, int32_t>::const_iterator it;
    std::map<PositionMatcher::PairKey, int32_t>::const_iterator end;
    size_t models;
    size_t pieces;
};

// Few pairs: one bucket per pair (model * pieces + piece), filled by a counting sort. Each bucket's size
// must be the count of its pair.
template <typename Out, typename Put>
bool MatchByPairBuckets(const std::vector<size_t>& firstModel, const std::vector<size_t>& firstPiece,
                        const std::vector<Placement>& placements, CountedPairs counted, Out& order, Put put) {
    const size_t pieces = firstPiece.size();
    const size_t pairs = firstModel.size() * pieces;
    auto bucketOf = [&](const Placement& p) {
        return InRange(p.modelIndex, firstModel.size()) && InRange(p.pieceIndex, pieces)
                   ? firstModel[static_cast<size_t>(p.modelIndex)] * pieces +
                         firstPiece[static_cast<size_t>(p.pieceIndex)]
                   : pairs;
    };
    // start[b + 1] counts the placements of bucket b; the last bucket takes those outside the lists.
    std::vector<size_t> start(pairs + 2, 0);
    for (const Placement& p : placements) {
        ++start[bucketOf(p) + 1];
    }
    size_t bucket = 0;
    for (; !counted.Done(); counted.Next()) {
        const size_t pair = counted.Model() * pieces + counted.Piece();
        for (; bucket < pair; ++bucket) {
            if (start[bucket + 1] != 0) {
                return false;
            }
        }
        if (static_cast<uint32_t>(start[pair + 1]) != counted.Count()) {
            return false;
        }
        bucket = pair + 1;
    }
    for (; bucket < pairs; ++bucket) {
        if (start[bucket + 1] != 0) {
            return false;
        }
    }
    for (size_t b = 1; b <= pairs; ++b) {
        start[b] += start[b - 1];
    }
    order.resize(start[pairs]);
    for (size_t i = 0; i < placements.size(); ++i) {
        const size_t b = bucketOf(placements[i]);
        if (b < pairs) {
            put(order[start[b]++], i);
        }
    }
    return true;
}

struct Keyed {
    size_t model; // first index of the placement's model name
    size_t piece; // first index of the placement's piece name
    size_t index; // of the placement
};

// Moves `from` into `to` ordered by the key that `keyOf` gives (below `keys`), keeping the order of
// entries with equal keys: a counting sort.
template <typename KeyOf>
void SortByKey(const std::vector<Keyed>& from, std::vector<Keyed>& to, size_t keys, KeyOf keyOf) {
    std::vector<size_t> start(keys + 1, 0);
    for (const Keyed& entry : from) {
        ++start[keyOf(entry) + 1];
    }
    for (size_t k = 1; k <= keys; ++k) {
        start[k] += start[k - 1];
    }
    to.resize(from.size());
    for (const Keyed& entry : from) {
        to[start[keyOf(entry)]++] = entry;
    }
}

// Many pairs: the placements keyed by their pair and sorted by piece, then stably by model. Both sides are
// then walked in key order; each run of equal keys must be as long as its pair's count.
bool MatchBySorting(const std::vector<size_t>& firstModel, const std::vector<size_t>& firstPiece,
                    const std::vector<Placement>& placements, CountedPairs counted,
                    std::vector<size_t>& order) {
    std::vector<Keyed> keyed;
    keyed.reserve(placements.size());
    for (size_t i = 0; i < placements.size(); ++i) {
        const Placement& p = placements[i];
        if (InRange(p.modelIndex, firstModel.size()) && InRange(p.pieceIndex, firstPiece.size())) {
            keyed.push_back({firstModel[static_cast<size_t>(p.modelIndex)],
                             firstPiece[static_cast<size_t>(p.pieceIndex)], i});
        }
    }
    std::vector<Keyed> byPiece;
    SortByKey(keyed, byPiece, firstPiece.size(), [](const Keyed& entry) { return entry.piece; });
    SortByKey(byPiece, keyed, firstModel.size(), [](const Keyed& entry) { return entry.model; });
    byPiece = std::vector<Keyed>();

    size_t k = 0;
    while (!counted.Done() || k < keyed.size()) {
        if (counted.Done() || k == keyed.size() || counted.Model() != keyed[k].model ||
            counted.Piece() != keyed[k].piece) {
            return false;
        }
        size_t end = k;
        while (end < keyed.size() && keyed[end].model == keyed[k].model &&
               keyed[end].piece == keyed[k].piece) {
            ++end;
        }
        if (static_cast<uint32_t>(end - k) != counted.Count()) {
            return false;
        }
        k = end;
        counted.Next();
    }
    order.reserve(keyed.size());
    for (const Keyed& entry : keyed) {
        order.push_back(entry.index);
    }
    return true;
}
// Whether a bucket per pair costs no more than the placements themselves.
bool FewPairs(size_t models, size_t pieces, size_t placements) {
    return pieces == 0 || models <= placements / pieces;
}

PositionMatcher::Position PositionOf(const Placement& p) {
    return {p.modelIndex, p.pieceIndex, p.angle, p.x, p.y, p.flag1, p.flag2, p.isP};
}
} // namespace

bool PositionMatcher::Match(const std::vector<std::string>& modelNames,
                            const std::vector<std::string>& pieceNames,
                            const std::vector<Placement>& placements,
                            const std::map<PairKey, int32_t>& counts, std::vector<size_t>& order) {
    order.clear();
    const std::vector<size_t> firstModel = FirstIndexByName(modelNames);
    const std::vector<size_t> firstPiece = FirstIndexByName(pieceNames);
    const CountedPairs counted(counts, modelNames.size(), pieceNames.size());
    if (FewPairs(modelNames.size(), pieceNames.size(), placements.size())) {
        return MatchByPairBuckets(firstModel, firstPiece, placements, counted, order,
                                  [](size_t& to, size_t i) { to = i; });
    }
    return MatchBySorting(firstModel, firstPiece, placements, counted, order);
}

bool PositionMatcher::Match(const std::vector<std::string>& modelNames,
                            const std::vector<std::string>& pieceNames,
                            const std::vector<Placement>& placements,
                            const std::map<PairKey, int32_t>& counts, std::vector<Position>& ordered) {
    // One matching for both forms, so the order the position file gets is the order that is checked.
    ordered.clear();
    std::vector<size_t> order;
    if (!Match(modelNames, pieceNames, placements, counts, order)) {
        return false;
    }
    ordered.reserve(order.size());
    for (const size_t i : order) {
        ordered.push_back(PositionOf(placements[i]));
    }
    return true;
}
