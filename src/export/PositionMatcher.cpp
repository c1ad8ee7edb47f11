#include "export/PositionMatcher.h"

#include "platform/Parallel.h"

#include <atomic>
#include <limits>
#include <new>
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

// The lines of one pair: where they begin and end in the position file.
struct PairLines {
    uint32_t begin;
    uint32_t end;
};

// The pairs that have lines, by key: open addressing with linear probing, the home slot from a multiplier
// drawn for each table (see PairCounter), so that no lay can make its pairs share one.
class PairTable {
public:
    explicit PairTable(size_t pairs) : multiplier(DrawnMultiplier()) {
        // At most three quarters full, as the counter's table.
        size_t size = 16;
        for (shift = 64 - 4; 3 * size < 4 * pairs; size *= 2) {
            --shift;
        }
        slots.assign(size, Slot{0, kNone});
    }
    void Insert(uint64_t key, uint32_t pair) { slots[SlotOf(key)] = Slot{key, pair}; }
    // The pair of `key`, or kNone.
    uint32_t Find(uint64_t key) const { return slots[SlotOf(key)].pair; }

    static constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

private:
    struct Slot {
        uint64_t key;
        uint32_t pair; // kNone: free
    };
    size_t SlotOf(uint64_t key) const {
        size_t i = static_cast<size_t>((key * multiplier) >> shift);
        while (slots[i].pair != kNone && slots[i].key != key) {
            i = (i + 1) & (slots.size() - 1);
        }
        return i;
    }

    uint64_t multiplier;
    int shift = 0;
    std::vector<Slot> slots;
};
} // namespace

// The placements are put in place in parts at the same time, each part filling a share of the lines: it
// passes over all placements and takes those of the models whose lines reach into its share. A part
// follows every pair of its models from the pair's first line, so it also checks that each of them gets
// as many placements as its count, no more and no fewer; every model, those without lines too, is
// checked by at least one part.
bool MatchPositions(const std::vector<std::string>& modelNames, const std::vector<std::string>& pieceNames,
                    const PlacementList& placements, const std::map<PairKey, int32_t>& counts,
                    PositionOrder& order) {
    order.lines.Allocate(0);
    if (placements.size() > std::numeric_limits<uint32_t>::max()) {
        throw std::bad_alloc(); // beyond the line numbers of four bytes, and beyond any memory to hold them
    }
    const std::vector<size_t> firstModel = FirstIndexByName(modelNames);
    const std::vector<size_t> firstPiece = FirstIndexByName(pieceNames);
    const size_t models = firstModel.size();
    const size_t pieces = firstPiece.size();

    // The pairs of first indices with their lines, in key order, which is the order of the file; the
    // lines of each model.
    std::vector<uint64_t> keys;
    std::vector<PairLines> pairs;
    std::vector<PairLines> modelLines(models);
    uint64_t total = 0;
    size_t model = 0; // the models before this one have their lines
    for (const auto& [pair, count] : counts) {
        if (!InRange(pair.first, models) || !InRange(pair.second, pieces)) {
            continue;
        }
        const auto m = static_cast<size_t>(pair.first);
        if (firstModel[m] != m || firstPiece[static_cast<size_t>(pair.second)] != static_cast<size_t>(pair.second)) {
            if (count != 0) {
                return false; // the first pair of these names took its placements
            }
            continue;
        }
        for (; model <= m; ++model) {
            modelLines[model] = {static_cast<uint32_t>(total), static_cast<uint32_t>(total)};
        }
        const auto begin = static_cast<uint32_t>(total);
        total += static_cast<uint32_t>(count);
        if (total > placements.size()) {
            return false; // more lines than placements: some pair cannot have them all
        }
        keys.push_back(PairBits(pair.first, pair.second));
        pairs.push_back({begin, static_cast<uint32_t>(total)});
        modelLines[m].end = static_cast<uint32_t>(total);
    }
    for (; model < models; ++model) {
        modelLines[model] = {static_cast<uint32_t>(total), static_cast<uint32_t>(total)};
    }
    PairTable table(pairs.size());
    for (size_t k = 0; k < keys.size(); ++k) {
        table.Insert(keys[k], static_cast<uint32_t>(k));
    }

    constexpr size_t kLeastPartPlacements = 65536;
    const size_t parts = parallel::PartsFor(placements.size(), kLeastPartPlacements);
    const auto shareStart = [&](size_t part) { return static_cast<uint32_t>(total * part / parts); };
    order.lines.Allocate(static_cast<size_t>(total));
    std::atomic<bool> agree{true};
    parallel::ForEachPart(parts, [&](size_t part) {
        const uint32_t shareBegin = shareStart(part);
        const uint32_t shareEnd = shareStart(part + 1);
        // The models this part follows: those with a line in its share, and those without lines whose
        // place lies in it (the end of the file in the last share). For each model index, the first index
        // of its name when the part follows it.
        std::vector<uint8_t> follows(models);
        std::vector<uint32_t> followedModel(models, PairTable::kNone);
        for (size_t m = 0; m < models; ++m) {
            const PairLines lines = modelLines[firstModel[m]];
            follows[m] = lines.begin < lines.end ? lines.begin < shareEnd && lines.end > shareBegin
                                                 : (lines.begin >= shareBegin && lines.begin < shareEnd) ||
                                                       (part + 1 == parts && lines.begin == total);
            if (follows[m] != 0) {
                followedModel[m] = static_cast<uint32_t>(firstModel[m]);
            }
        }
        std::vector<uint32_t> next(pairs.size()); // the next line of each pair
        for (size_t k = 0; k < pairs.size(); ++k) {
            next[k] = pairs[k].begin;
        }
        bool fits = true;
        placements.ForEach(0, placements.size(), [&](size_t index, const PlacementList::Entry& p) {
            // A negative index is a large one here.
            const auto model = static_cast<uint32_t>(p.modelIndex);
            const auto piece = static_cast<uint32_t>(p.pieceIndex);
            if (model >= models || piece >= pieces || followedModel[model] == PairTable::kNone || !fits) {
                return;
            }
            const uint32_t k = table.Find(PairBits(static_cast<int32_t>(followedModel[model]),
                                                   static_cast<int32_t>(firstPiece[piece])));
            if (k == PairTable::kNone || next[k] == pairs[k].end) {
                fits = false; // a pair without a count, or with more placements than it says
                return;
            }
            const uint32_t line = next[k]++;
            if (line >= shareBegin && line < shareEnd) {
                order.lines[line] = static_cast<uint32_t>(index);
            }
        });
        // Each pair of the models followed has all the placements its count says.
        for (size_t k = 0; k < pairs.size() && fits; ++k) {
            fits = !follows[static_cast<size_t>(keys[k] >> 32)] || next[k] == pairs[k].end;
        }
        if (!fits) {
            agree = false;
        }
    });
    if (!agree) {
        order.lines.Allocate(0);
        return false;
    }
    return true;
}
} // namespace quorix::detail
