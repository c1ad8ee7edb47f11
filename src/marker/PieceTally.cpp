#include "marker/PieceTally.h"

#include <algorithm>
#include <tuple>

namespace quorix {

namespace {
// Counts are summed as the host sums them: plain 32-bit additions that wrap round.
uint32_t Bits(int32_t value) {
    return static_cast<uint32_t>(value);
}

bool SamePieces(const std::vector<StylePieceSum>& a, const std::vector<StylePieceSum>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const StylePieceSum& x, const StylePieceSum& y) {
                          return x.quantity == y.quantity && x.extraQuantity == y.extraQuantity &&
                                 x.pieceName == y.pieceName;
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
    std::vector<StylePieceSum> sums;
    for (const StylePiece* piece : byName) {
        if (sums.empty() || sums.back().pieceName != piece->pieceName) {
            sums.push_back({piece->pieceName, 0, 0});
        }
        StylePieceSum& sum = sums.back();
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

SizeModels::const_iterator& SizeModels::const_iterator::operator++() {
    at = models->RunEnd(at);
    return *this;
}

SizeModels::Model::const_iterator::const_iterator(TallyMerge from) : merge(std::move(from)), done(false) {
    ++*this;
}

SizeModels::Model::const_iterator& SizeModels::Model::const_iterator::operator++() {
    TallyMerge::Tally tally;
    done = !merge.Next(tally);
    if (!done) {
        current.pieceName = *tally.pieceName;
        current.sizeValue = tally.sizeValue;
        current.sizeCount = tally.sizeCount;
        current.quantity = tally.quantity;
        current.extraQuantity = tally.extraQuantity;
    }
    return *this;
}

TallyMerge::TallyMerge(const SizeModels& models, size_t from, size_t to) {
    for (size_t at = from; at < to;) {
        const SizeItem& first = models.Item(at);
        const uint32_t style = models.StyleAt(at);
        const SizeModels::SizeRef ref = models.sizes[at];
        Source source{nullptr,         nullptr, first.sizeValue,
                      first.sizeCount, 0u,      (uint64_t{ref.entry} << 32) | ref.item};
        for (; at < to && models.StyleAt(at) == style && models.Item(at).sizeValue == first.sizeValue &&
               models.Item(at).sizeCount == first.sizeCount;
             ++at) {
            source.copies += models.Item(at).copies;
        }
        const std::vector<StylePieceSum>& pieces = models.styles[style];
        if (!pieces.empty()) {
            source.at = pieces.data();
            source.end = pieces.data() + pieces.size();
            sources.push_back(source);
        }
    }
    std::make_heap(sources.begin(), sources.end(), After);
}

bool TallyMerge::After(const Source& a, const Source& b) {
    const int byName = a.at->pieceName.compare(b.at->pieceName);
    if (byName != 0) {
        return byName > 0;
    }
    if (a.sizeValue < b.sizeValue || b.sizeValue < a.sizeValue) {
        return b.sizeValue < a.sizeValue;
    }
    return b.sizeCount < a.sizeCount;
}

bool TallyMerge::Next(Tally& tally) {
    if (sources.empty()) {
        return false;
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
            tally.pieceName = &source.at->pieceName;
            tally.sizeCount = source.sizeCount;
        }
        if (source.firstSize < firstSize) {
            firstSize = source.firstSize;
            tally.sizeValue = source.sizeValue;
        }
        quantity += source.copies * Bits(source.at->quantity);
        extraQuantity += source.copies * Bits(source.at->extraQuantity);
        if (++source.at == source.end) {
            sources.pop_back();
        } else {
            std::push_heap(sources.begin(), sources.end(), After);
        }
    } while (!sources.empty() && sources.front().at->pieceName == *tally.pieceName &&
             sources.front().sizeValue == tally.sizeValue && sources.front().sizeCount == tally.sizeCount);
    tally.quantity = static_cast<int32_t>(quantity);
    tally.extraQuantity = static_cast<int32_t>(extraQuantity);
    return true;
}

} // namespace quorix
