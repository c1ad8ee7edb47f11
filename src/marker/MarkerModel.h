#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorix {

// One size of a style slot. `copies` counts identical consecutive sizes that the slot lists: a slot may
// declare far more sizes than its file has lines, and once the file is exhausted every further size reads
// as the same empty item, so those are kept as one item with its number of copies.
struct SizeItem {
    int32_t sizeKey = 0;
    float sizeValue = 0.0f;
    int32_t sizeCount = 0;
    uint32_t copies = 1;
};

// One used style slot of a marker: the style file's name as written, and the sizes of that style.
struct StyleEntry {
    std::string styleName;
    std::vector<SizeItem> sizeItems;
};

// One piece block of a style file.
struct StylePiece {
    std::string pieceName;
    std::string pieceText;
    int32_t quantity = 0;
    int32_t extraQuantity = 0;
};

} // namespace quorix
