#pragma once

#include "marker/MarkerModel.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quorix {

// One piece of a size model: the counts of a piece summed over the styles that list the size, for one
// size value and size count. Tallies are ordered by piece name (bytes compared as unsigned), then size
// value, then size count. Counts are summed as the host sums them: plain 32-bit additions that wrap round.
struct PieceTally {
    std::string pieceName;
    float sizeValue = 0.0f;
    int32_t sizeCount = 0;
    int32_t quantity = 0;
    int32_t extraQuantity = 0;
};

// The size models of a marker: for each size number in ascending order, its pieces summed over the
// styles that list it. A size model holds every piece of every style that lists its size number, so the
// tallies of a marker can be far more than its files hold: what is kept is the marker's sizes sorted by
// size number and each style's pieces summed per name, and a model's tallies are merged from them, in
// tally order, when it is walked.
class SizeModels {
public:
    // One size model as a sequence of PieceTally, made while it is walked.
    class Model {
    public:
        class const_iterator {
        public:
            const PieceTally& operator*() const { return current; }
            const PieceTally* operator->() const { return &current; }
            const_iterator& operator++();
            bool operator==(const const_iterator& other) const { return done == other.done; }
            bool operator!=(const const_iterator& other) const { return done != other.done; }

        private:
            friend class Model;
            // The sizes of one style, size value and size count, taken together.
            struct Source {
                float sizeValue;
                int32_t sizeCount;
                uint32_t copies;    // of the size, summed over the sizes taken together
                uint64_t firstSize; // the entry and place of the first of those sizes: the one read first
                const PieceTally* piece; // the next piece of the source's style to be tallied
                const uint32_t* rank;    // and the rank of its name
                uint32_t pieces;         // of the style
            };

            std::vector<Source> sources;
            // The source of each piece in tally order (name, size value, size count): a source's pieces
            // come in the order of its style, so each is the next one of its source.
            std::vector<uint32_t> taken;
            size_t next = 0;
            PieceTally current;
            bool done = true;
        };

        Model(const SizeModels& of, size_t first, size_t last) : models(&of), from(first), to(last) {}
        const_iterator begin() const;
        const_iterator end() const { return const_iterator(); }

    private:
        const SizeModels* models;
        size_t from;
        size_t to;
    };

    // Walks the size models in size number order, each as the pair of its size number and its model.
    class const_iterator {
    public:
        std::pair<int32_t, Model> operator*() const;
        const_iterator& operator++() {
            at = models->RunEnd(at);
            return *this;
        }
        bool operator==(const const_iterator& other) const { return at == other.at; }
        bool operator!=(const const_iterator& other) const { return at != other.at; }

    private:
        friend class SizeModels;
        const_iterator(const SizeModels& of, size_t first) : models(&of), at(first) {}
        const SizeModels* models;
        size_t at;
    };

    // Takes the pieces of a style and returns the number it is known by: that of an earlier style with
    // the same pieces, or a new one.
    uint32_t AddStyle(const std::vector<StylePiece>& pieces);
    // Takes the sizes of the style entries; `styleOfEntry` holds the style number of each entry. The
    // entries must stay in place, unchanged, while the models are read.
    void SetSizes(const std::vector<StyleEntry>& entries, std::vector<uint32_t> styleOfEntry);

    // The number of size models (of distinct size numbers).
    size_t size() const { return models; }
    // The pieces the models are made from, summed over the sizes: the work of walking them all.
    size_t PiecesTaken() const { return piecesTaken; }
    const_iterator begin() const { return const_iterator(*this, 0); }
    const_iterator end() const { return const_iterator(*this, sizes.size()); }

private:
    // A size of a style entry: the entry and the size's place in the entry's list.
    struct SizeRef {
        uint32_t entry;
        uint32_t item;
    };

    const SizeItem& Item(size_t at) const { return (*entries)[sizes[at].entry].sizeItems[sizes[at].item]; }
    uint32_t StyleAt(size_t at) const { return styleOfEntry[sizes[at].entry]; }
    // The end of the sizes that share the size number of the size at `from`.
    size_t RunEnd(size_t from) const;

    // Gives every piece name of the styles its rank among all of them in tally order.
    void RankNames();

    // Each style's pieces summed per name, in name order, as tallies without a size.
    std::vector<std::vector<PieceTally>> styles;
    // The rank of each of those names: a model's pieces are put in tally order by these numbers, as its
    // many styles would otherwise compare the same names over and over.
    std::vector<std::vector<uint32_t>> nameRanks;
    const std::vector<StyleEntry>* entries = nullptr;
    std::vector<uint32_t> styleOfEntry;
    // Every size of every entry, by size number, style, size value and size count, then in the marker's
    // order (entry by entry).
    std::vector<SizeRef> sizes;
    size_t models = 0;
    size_t piecesTaken = 0;
};

} // namespace quorix
