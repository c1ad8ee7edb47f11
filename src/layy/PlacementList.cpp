#include "layy/PlacementList.h"

#include <algorithm>

namespace quorix {

Placement PlacementList::Entry::Expand() const {
    Placement p;
    p.modelIndex = modelIndex;
    p.pieceIndex = pieceIndex;
    p.flag1 = Flag1();
    p.ordinalA = fileOrdinalA - 1;
    p.flag2 = Flag2();
    p.angle = angle;
    p.x = x;
    p.y = y;
    p.ordinalB = static_cast<int16_t>(fileOrdinalB) - 1;
    p.valueC = valueC;
    p.ordinalC = static_cast<int16_t>(fileOrdinalC) - 1;
    p.isP = IsP();
    return p;
}

void PlacementList::Grow() {
    if (capacity < kBlockSize) {
        // The first block, doubled from 64 entries.
        const size_t grown = std::max<size_t>(64, 2 * capacity);
        memory::LargeArray<Entry> first(grown);
        if (!blocks.empty()) {
            std::copy(blocks[0].begin(), blocks[0].begin() + count, first.begin());
            blocks[0] = std::move(first);
        } else {
            blocks.push_back(std::move(first));
        }
        capacity = grown;
        return;
    }
    blocks.emplace_back(kBlockSize);
    capacity += kBlockSize;
}

} // namespace quorix
