#include "export/PositionMatcher.h"

#include "platform/Parallel.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace quorix::detail {
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

// Turns counts into the start of each key's run (a counting sort's offsets).
void Accumulate(std::vector<size_t>& start) {
    size_t sum = 0;
    for (size_t& s : start) {
        const size_t count = s;
        s = sum;
        sum += count;
    }
}

// Puts the entries of one model in piece order, keeping their order within a piece. A counting sort
// through `scratch` when the model has at least as many placements as there are pieces (a model's
// placements are a small share of the lay, so this stays in the cache), else a merge sort, so that
// many pieces and few placements cost no more than the placements.
void SortByPiece(Position* first, Position* last, size_t pieces, std::vector<Position>& scratch,
                 std::vector<size_t>& start) {
    const size_t count = static_cast<size_t>(last - first);
    if (count < 2) {
        return;
    }
    if (count < pieces) {
        std::stable_sort(first, last, [](const Position& a, const Position& b) { return a.piece < b.piece; });
        return;
    }
    start.assign(pieces, 0);
    for (const Position* e = first; e != last; ++e) {
        ++start[e->piece];
    }
    Accumulate(start);
    scratch.resize(count);
    for (const Position* e = first; e != last; ++e) {
        scratch[start[e->piece]++] = *e;
    }
    std::copy(scratch.begin(), scratch.end(), first);
}

} // namespace

// The placements inside the name lists are sorted by their key pair (model first), keeping the lay's
// order within a pair, and each pair's run is checked against its count. A counting sort by model writes
// to as few places at once as there are models, then each model's run is put in piece order. A long lay
// is cut into parts that are counted and sorted at the same time: each part's placements of a model go
// after those of the parts before it, so the order is the same as in one go.
bool MatchPositions(const std::vector<std::string>& modelNames, const std::vector<std::string>& pieceNames,
                    const std::vector<Placement>& placements, const std::map<PairKey, int32_t>& counts,
                    std::vector<Position>& sorted) {
    constexpr size_t kLeastPartPlacements = 65536;
    const std::vector<size_t> firstModel = FirstIndexByName(modelNames);
    const std::vector<size_t> firstPiece = FirstIndexByName(pieceNames);
    const size_t models = firstModel.size();
    const auto inside = [&](const Placement& p) {
        return InRange(p.modelIndex, models) && InRange(p.pieceIndex, firstPiece.size());
    };
    const size_t parts = parallel::PartsFor(placements.size(), kLeastPartPlacements);
    const auto partStart = [&](size_t part) { return placements.size() * part / parts; };

    // The number of placements of each model in each part, then where each part's run of each model
    // starts.
    std::vector<std::vector<size_t>> starts(parts, std::vector<size_t>(models, 0));
    parallel::ForEachPart(parts, [&](size_t part) {
        std::vector<size_t>& count = starts[part];
        for (size_t i = partStart(part); i < partStart(part + 1); ++i) {
            const Placement& p = placements[i];
            if (inside(p)) {
                ++count[firstModel[static_cast<size_t>(p.modelIndex)]];
            }
        }
    });
    std::vector<size_t> modelEnd(models); // where the run of each model ends
    size_t total = 0;
    for (size_t m = 0; m < models; ++m) {
        for (size_t part = 0; part < parts; ++part) {
            const size_t count = starts[part][m];
            starts[part][m] = total;
            total += count;
        }
        modelEnd[m] = total;
    }
    sorted.resize(total);
    parallel::ForEachPart(parts, [&](size_t part) {
        std::vector<size_t>& start = starts[part];
        for (size_t i = partStart(part); i < partStart(part + 1); ++i) {
            const Placement& p = placements[i];
            if (inside(p)) {
                const uint32_t model = static_cast<uint32_t>(firstModel[static_cast<size_t>(p.modelIndex)]);
                const uint32_t piece = static_cast<uint32_t>(firstPiece[static_cast<size_t>(p.pieceIndex)]);
                sorted[start[model]++] = {model, piece, p.angle, p.x, p.y, p.flag1, p.flag2, p.isP};
            }
        }
    });
    starts = std::vector<std::vector<size_t>>();
    // Each part puts a run of whole models in piece order, the runs about equally long.
    parallel::ForEachPart(parts, [&](size_t part) {
        std::vector<Position> scratch;
        std::vector<size_t> start;
        size_t from = 0;
        for (size_t m = 0; m < models; ++m) {
            // The model belongs to the part in whose share of the entries its run begins.
            if (static_cast<uint64_t>(from) * parts / (total > 0 ? total : 1) == part) {
                SortByPiece(sorted.data() + from, sorted.data() + modelEnd[m], firstPiece.size(), scratch,
                            start);
            }
            from = modelEnd[m];
        }
    });

    // Both sides in key order: each run of equal keys must be as long as its pair's count, which pairs
    // outside the name lists do not have.
    size_t k = 0;
    for (const auto& [pair, count] : counts) {
        if (!InRange(pair.first, models) || !InRange(pair.second, firstPiece.size())) {
            continue;
        }
        size_t end = k;
        while (end < sorted.size() && sorted[end].model == static_cast<uint32_t>(pair.first) &&
               sorted[end].piece == static_cast<uint32_t>(pair.second)) {
            ++end;
        }
        if (end - k != static_cast<uint32_t>(count)) {
            sorted.clear();
            return false;
        }
        k = end;
    }
    if (k != sorted.size()) {
        sorted.clear();
        return false;
    }
    return true;
}
} // namespace quorix::detail
