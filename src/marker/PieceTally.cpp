#include "marker/PieceTally.h"

#include <algorithm>

namespace quorix {

namespace {
uint32_t Bits(int32_t value) {
    return static_cast<uint32_t>(value);
}

bool SamePieces(const std::vector<PieceTally>& a, const std::vector<PieceTally>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const PieceTally& x, const PieceTally& y) {
        return x.quantity == y.quantity && x.extraQuantity == y.extraQuantity && x.pieceName == y.pieceName;
    });
}
} // namespace

uint32_t SizeModels::AddStyle(const std::vector<StylePiece>& pieces) {
    // std::string compares its bytes as unsigned characters, a proper prefix first: the tally order.
    std::vector<const StylePiece*> byName;
    byName.reserve(pieces.size());
    for (const StylePiece& piece : pieces) {
        byName.push_back(&piece);
    }
    std::sort(byName.begin(), byName.end(),
              [](const StylePiece* a, const StylePiece* b) { return a->pieceName < b->pieceName; });
    std::vector<PieceTally> sums;
    for (const StylePiece* piece : byName) {
        if (sums.empty() || sums.back().pieceName != piece->pieceName) {
            sums.push_back({piece->pieceName});
        }
        PieceTally& sum = sums.back();
        sum.quantity = static_cast<int32_t>(Bits(sum.quantity) + Bits(piece->quantity));
        sum.extraQuantity = static_cast<int32_t>(Bits(sum.extraQuantity) + Bits(piece->extraQuantity));
    }
    // Slots often name one style: it is kept once.
    for (size_t known = 0; known < styles.size(); ++known) {
        if (SamePieces(styles[known], sums)) {
            return static_cast<uint32_t>(known);
        }
    }
    sums.shrink_to_fit();
    styles.push_back(std::move(sums));
    return static_cast<uint32_t>(styles.size() - 1);
}

void SizeModels::SetSizes(const std::vector<StyleEntry>& all, std::vector<uint32_t> styleOf) {
    entries = &all;
    styleOfEntry = std::move(styleOf);
    size_t total = 0;
    for (const StyleEntry& entry : all) {
        total += entry.sizeItems.size();
    }
    // Sizes of one number, style, value and count make the same tallies: sorted together, they are taken
    // as one with their copies summed. Each size is sorted under its own copy of what orders it, the size
    // number and the style in one word, so that no comparison looks into the entries. Size values are
    // never NaN (a text field reads as a finite number or an infinity), so they sort as numbers; 0 and -0
    // are one value.
    struct Ordered {
        uint64_t numberAndStyle; // the size number, moved to sort as unsigned, above the style
        float sizeValue;
        int32_t sizeCount;
        uint64_t place; // the entry above the size's place in it: the marker's order
    };
    std::vector<Ordered> ordered;
    ordered.reserve(total);
    for (uint32_t entry = 0; entry < all.size(); ++entry) {
        const uint64_t style = styleOfEntry[entry];
        for (uint32_t item = 0; item < all[entry].sizeItems.size(); ++item) {
            const SizeItem& size = all[entry].sizeItems[item];
            ordered.push_back({uint64_t{Bits(size.sizeKey) ^ 0x80000000u} << 32 | style, size.sizeValue,
                               size.sizeCount, uint64_t{entry} << 32 | item});
        }
    }
    std::sort(ordered.begin(), ordered.end(), [](const Ordered& a, const Ordered& b) {
        if (a.numberAndStyle != b.numberAndStyle) {
            return a.numberAndStyle < b.numberAndStyle;
        }
        if (a.sizeValue < b.sizeValue || b.sizeValue < a.sizeValue) {
            return a.sizeValue < b.sizeValue;
        }
        if (a.sizeCount != b.sizeCount) {
            return a.sizeCount < b.sizeCount;
        }
        return a.place < b.place;
    });
    sizes.clear();
    sizes.reserve(total);
    models = 0;
    for (size_t at = 0; at < ordered.size(); ++at) {
        const uint64_t place = ordered[at].place;
        sizes.push_back({static_cast<uint32_t>(place >> 32), static_cast<uint32_t>(place)});
        if (at == 0 || ordered[at].numberAndStyle >> 32 != ordered[at - 1].numberAndStyle >> 32) {
            ++models;
        }
    }
}

size_t SizeModels::RunEnd(size_t from) const {
    const int32_t key = Item(from).sizeKey;
    size_t to = from + 1;
    while (to < sizes.size() && Item(to).sizeKey == key) {
        ++to;
    }
    return to;
}

std::pair<int32_t, SizeModels::Model> SizeModels::const_iterator::operator*() const {
    return {models->Item(at).sizeKey, Model(*models, at, models->RunEnd(at))};
}

SizeModels::Model::const_iterator SizeModels::Model::begin() const {
    const_iterator first;
    const SizeModels& of = *models;
    for (size_t at = from; at < to;) {
        const SizeItem& size = of.Item(at);
        const uint32_t style = of.StyleAt(at);
        const SizeRef ref = of.sizes[at];
        const_iterator::Source source{nullptr,        nullptr, size.sizeValue,
                                      size.sizeCount, 0u,      (uint64_t{ref.entry} << 32) | ref.item};
        for (; at < to && of.StyleAt(at) == style && of.Item(at).sizeValue == size.sizeValue &&
               of.Item(at).sizeCount == size.sizeCount;
             ++at) {
            source.copies += of.Item(at).copies;
        }
        const std::vector<PieceTally>& pieces = of.styles[style];
        if (!pieces.empty()) {
            source.at = pieces.data();
            source.end = pieces.data() + pieces.size();
            first.sources.push_back(source);
        }
    }
    std::make_heap(first.sources.begin(), first.sources.end(), const_iterator::After);
    return ++first;
}

bool SizeModels::Model::const_iterator::After(const Source& a, const Source& b) {
    const int byName = a.at->pieceName.compare(b.at->pieceName);
    if (byName != 0) {
        return byName > 0;
    }
    if (a.sizeValue < b.sizeValue || b.sizeValue < a.sizeValue) {
        return b.sizeValue < a.sizeValue;
    }
    return b.sizeCount < a.sizeCount;
}

SizeModels::Model::const_iterator& SizeModels::Model::const_iterator::operator++() {
    done = sources.empty();
    if (done) {
        return *this;
    }
    uint32_t quantity = 0;
    uint32_t extraQuantity = 0;
    uint64_t firstSize = UINT64_MAX;
    // Every source whose next piece has the tally's name, size value and size count adds to it; the size
    // value kept is that of the size read first (0 and -0 are one value but show differently).
    do {
        std::pop_heap(sources.begin(), sources.end(), After);
        Source& source = sources.back();
        if (firstSize == UINT64_MAX) {
            current.pieceName = source.at->pieceName;
            current.sizeCount = source.sizeCount;
        }
        if (source.firstSize < firstSize) {
            firstSize = source.firstSize;
            current.sizeValue = source.sizeValue;
        }
        quantity += source.copies * Bits(source.at->quantity);
        extraQuantity += source.copies * Bits(source.at->extraQuantity);
        if (++source.at == source.end) {
            sources.pop_back();
        } else {
            std::push_heap(sources.begin(), sources.end(), After);
        }
    } while (!sources.empty() && sources.front().at->pieceName == current.pieceName &&
             sources.front().sizeValue == current.sizeValue &&
             sources.front().sizeCount == current.sizeCount);
    current.quantity = static_cast<int32_t>(quantity);
    current.extraQuantity = static_cast<int32_t>(extraQuantity);
    return *this;
}

} // namespace quorix
