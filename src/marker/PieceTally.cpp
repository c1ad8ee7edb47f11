#include "marker/PieceTally.h"

#include <algorithm>
#include <numeric>

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
    piecesTaken = 0;
    for (size_t at = 0; at < ordered.size(); ++at) {
        const uint64_t place = ordered[at].place;
        sizes.push_back({static_cast<uint32_t>(place >> 32), static_cast<uint32_t>(place)});
        piecesTaken += styles[static_cast<uint32_t>(ordered[at].numberAndStyle)].size();
        if (at == 0 || ordered[at].numberAndStyle >> 32 != ordered[at - 1].numberAndStyle >> 32) {
            ++models;
        }
    }
    RankNames();
}

void SizeModels::RankNames() {
    struct Name {
        const std::string* name;
        uint32_t style;
        uint32_t piece;
    };
    std::vector<Name> names;
    std::vector<size_t> runs{0}; // where each style's names begin, and their end
    nameRanks.assign(styles.size(), {});
    for (uint32_t style = 0; style < styles.size(); ++style) {
        nameRanks[style].resize(styles[style].size());
        for (uint32_t piece = 0; piece < styles[style].size(); ++piece) {
            names.push_back({&styles[style][piece].pieceName, style, piece});
        }
        runs.push_back(names.size());
    }
    // Each style lists its names in order already: the styles are merged two by two, not sorted again.
    const auto byName = [](const Name& a, const Name& b) { return *a.name < *b.name; };
    for (size_t width = 1; width + 1 < runs.size(); width *= 2) {
        for (size_t first = 0; first + width + 1 < runs.size(); first += 2 * width) {
            const size_t last = std::min(first + 2 * width, runs.size() - 1);
            std::inplace_merge(names.begin() + static_cast<std::ptrdiff_t>(runs[first]),
                               names.begin() + static_cast<std::ptrdiff_t>(runs[first + width]),
                               names.begin() + static_cast<std::ptrdiff_t>(runs[last]), byName);
        }
    }
    uint32_t rank = 0;
    for (size_t at = 0; at < names.size(); ++at) {
        if (at > 0 && *names[at].name != *names[at - 1].name) {
            ++rank;
        }
        nameRanks[names[at].style][names[at].piece] = rank;
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
    using Source = const_iterator::Source;
    const_iterator first;
    const SizeModels& of = *models;
    std::vector<Source>& sources = first.sources;
    size_t total = 0;
    uint32_t lowest = UINT32_MAX;
    uint32_t highest = 0;
    for (size_t at = from; at < to;) {
        const SizeItem& size = of.Item(at);
        const uint32_t style = of.StyleAt(at);
        const SizeRef ref = of.sizes[at];
        const std::vector<uint32_t>& ranks = of.nameRanks[style];
        Source source{size.sizeValue,           size.sizeCount, 0u,
                      (uint64_t{ref.entry} << 32) | ref.item, of.styles[style].data(), ranks.data(),
                      static_cast<uint32_t>(ranks.size())};
        for (; at < to && of.StyleAt(at) == style && of.Item(at).sizeValue == size.sizeValue &&
               of.Item(at).sizeCount == size.sizeCount;
             ++at) {
            source.copies += of.Item(at).copies;
        }
        if (!ranks.empty()) {
            sources.push_back(source);
            total += ranks.size();
            lowest = std::min(lowest, ranks.front());
            highest = std::max(highest, ranks.back());
        }
    }
    // The sources by size value and size count: their pieces, put in name order keeping the order they
    // come in, are then in tally order.
    std::stable_sort(sources.begin(), sources.end(), [](const Source& x, const Source& y) {
        if (x.sizeValue < y.sizeValue || y.sizeValue < x.sizeValue) {
            return x.sizeValue < y.sizeValue;
        }
        return x.sizeCount < y.sizeCount;
    });
    // Calls take(rank, source) for every piece, source by source.
    const auto eachPiece = [&sources](auto take) {
        for (uint32_t source = 0; source < sources.size(); ++source) {
            for (uint32_t piece = 0; piece < sources[source].pieces; ++piece) {
                take(sources[source].rank[piece], source);
            }
        }
    };
    std::vector<uint32_t>& taken = first.taken;
    if (total > 0 && highest - lowest < 2 * total) {
        // Ranks close together, as where the styles share their names: counted into place.
        std::vector<size_t> starts(size_t{highest} - lowest + 2, 0);
        eachPiece([&](uint32_t rank, uint32_t) { ++starts[rank - lowest + 1]; });
        std::partial_sum(starts.begin(), starts.end(), starts.begin());
        taken.resize(total);
        eachPiece([&](uint32_t rank, uint32_t source) { taken[starts[rank - lowest]++] = source; });
    } else {
        std::vector<std::pair<uint32_t, uint32_t>> ranked; // rank and source
        ranked.reserve(total);
        eachPiece([&](uint32_t rank, uint32_t source) { ranked.emplace_back(rank, source); });
        std::stable_sort(ranked.begin(), ranked.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        taken.reserve(total);
        for (const auto& piece : ranked) {
            taken.push_back(piece.second);
        }
    }
    return ++first;
}

SizeModels::Model::const_iterator& SizeModels::Model::const_iterator::operator++() {
    done = next == taken.size();
    if (done) {
        return *this;
    }
    const Source& head = sources[taken[next]];
    const uint32_t rank = *head.rank;
    const float sizeValue = head.sizeValue;
    current.pieceName = head.piece->pieceName;
    current.sizeCount = head.sizeCount;
    uint32_t quantity = 0;
    uint32_t extraQuantity = 0;
    uint64_t firstSize = UINT64_MAX;
    // Every source whose next piece has the tally's name, size value and size count adds to it; the size
    // value kept is that of the size read first (0 and -0 are one value but show differently).
    for (; next < taken.size(); ++next) {
        Source& source = sources[taken[next]];
        if (*source.rank != rank || !(source.sizeValue == sizeValue && source.sizeCount == current.sizeCount)) {
            break;
        }
        if (source.firstSize < firstSize) {
            firstSize = source.firstSize;
            current.sizeValue = source.sizeValue;
        }
        quantity += source.copies * Bits(source.piece->quantity);
        extraQuantity += source.copies * Bits(source.piece->extraQuantity);
        ++source.piece;
        ++source.rank;
    }
    current.quantity = static_cast<int32_t>(quantity);
    current.extraQuantity = static_cast<int32_t>(extraQuantity);
    return *this;
}

} // namespace quorix
