#include "export/PositionMatcher.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {
// For each entry, the index of the first entry with the same name.
std::vector<int32_t> FirstIndexByName(const std::vector<std::string>& names) {
    std::vector<int32_t> first(names.size());
    std::unordered_map<std::string_view, int32_t> seen;
    seen.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const auto inserted = seen.emplace(names[i], static_cast<int32_t>(i));
        first[i] = inserted.first->second;
    }
    return first;
}

bool InRange(int32_t index, size_t size) {
    return index >= 0 && static_cast<size_t>(index) < size;
}

} // namespace

bool PositionMatcher::Match(const std::vector<std::string>& modelNames,
                            const std::vector<std::string>& pieceNames,
                            const std::vector<Placement>& placements,
                            const std::map<PairKey, int32_t>& counts, std::vector<size_t>& order) {
    order.clear();
    const std::vector<int32_t> firstModel = FirstIndexByName(modelNames);
    const std::vector<int32_t> firstPiece = FirstIndexByName(pieceNames);

    struct Keyed {
        PairKey key;
        size_t index;
    };
    std::vector<Keyed> keyed;
    for (size_t i = 0; i < placements.size(); ++i) {
        const Placement& p = placements[i];
        if (InRange(p.modelIndex, modelNames.size()) && InRange(p.pieceIndex, pieceNames.size())) {
            keyed.push_back({PairKey(firstModel[static_cast<size_t>(p.modelIndex)],
                                     firstPiece[static_cast<size_t>(p.pieceIndex)]),
                             i});
        }
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return a.key < b.key; });

    // Every pair inside the lists must have as many placements keyed to it as its count says; pairs with
    // a count of 0 or without an entry have none. Both sides are walked in key order.
    auto countIt = counts.lower_bound(PairKey(0, 0));
    size_t k = 0;
    for (;;) {
        while (countIt != counts.end() &&
               (!InRange(countIt->first.first, modelNames.size()) ||
                !InRange(countIt->first.second, pieceNames.size()) || countIt->second == 0)) {
            ++countIt;
        }
        const bool countsDone = countIt == counts.end();
        const bool takenDone = k == keyed.size();
        if (countsDone && takenDone) {
            break;
        }
        if (countsDone || takenDone || countIt->first != keyed[k].key) {
            return false;
        }
        size_t end = k;
        while (end < keyed.size() && keyed[end].key == keyed[k].key) {
            ++end;
        }
        if (static_cast<uint32_t>(end - k) != static_cast<uint32_t>(countIt->second)) {
            return false;
        }
        k = end;
        ++countIt;
    }
    order.reserve(keyed.size());
    for (const Keyed& entry : keyed) {
        order.push_back(entry.index);
    }
    return true;
}
