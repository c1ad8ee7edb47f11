#include "marker/PieceTally.h"

#include <algorithm>
#include <tuple>

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
    sizes.clear();
    sizes.reserve(total);
    for (uint32_t entry = 0; entry < all.size(); ++entry) {
        for (uint32_t item = 0; item < all[entry].sizeItems.size(); ++item) {
            sizes.push_back({entry, item});
        }
    }
    // Sizes of one number, style, value and count make the same tallies: sorted together, they are taken
    // as one with their copies summed. Size values are never NaN (a text field reads as a finite number
    // or an infinity), so they sort as numbers; 0 and -0 are one value.
    std::sort(sizes.begin(), sizes.end(), [this](const SizeRef& a, const SizeRef& b) {
        const SizeItem& x = (*entries)[a.entry].sizeItems[a.item];
        const SizeItem& y = (*entries)[b.entry].sizeItems[b.item];
        if (x.sizeKey != y.sizeKey) {
            return x.sizeKey < y.sizeKey;
        }
        if (styleOfEntry[a.entry] != styleOfEntry[b.entry]) {
            return styleOfEntry[a.entry] < styleOfEntry[b.entry];
        }
        if (x.sizeValue < y.sizeValue || y.sizeValue < x.sizeValue) {
            return x.sizeValue < y.sizeValue;
        }
        return std::tie(x.sizeCount, a.entry, a.item) < std::tie(y.sizeCount, b.entry, b.item);
    });
    models = 0;
    for (size_t from = 0; from < sizes.size(); from = RunEnd(from)) {
        ++models;
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
