#include "marker/PieceTally.h"

void PieceTally::Add(int32_t pieceQuantity, int32_t pieceExtraQuantity, uint32_t copies) const {
    quantity =
        static_cast<int32_t>(static_cast<uint32_t>(quantity) + copies * static_cast<uint32_t>(pieceQuantity));
    extraQuantity = static_cast<int32_t>(static_cast<uint32_t>(extraQuantity) +
                                         copies * static_cast<uint32_t>(pieceExtraQuantity));
}

bool PieceTallyOrder::operator()(const PieceTally& a, const PieceTally& b) const {
    // std::string compares its bytes as unsigned characters, a proper prefix first.
    const int byName = a.pieceName.compare(b.pieceName);
    if (byName != 0) {
        return byName < 0;
    }
    if (a.sizeValue < b.sizeValue) {
        return true;
    }
    if (b.sizeValue < a.sizeValue) {
        return false;
    }
    return a.sizeCount < b.sizeCount;
}
