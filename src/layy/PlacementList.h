#pragma once

#include "files/BigEndian.h"
#include "layy/Placement.h"
#include "platform/Memory.h"

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

namespace quorix {

// The placements of a lay in file order, each kept in 32 bytes rather than as a Placement of 40: a lay is
// mostly placements, and what the import keeps of them is most of the memory it touches. The ordinals are
// kept as the file gives them, the flags in one byte. A placement is read back as a whole Placement, or
// through the fields of its Entry.
//
// The entries lie in blocks of 65,536 (two megabytes, advised for huge pages), which are never moved once
// full: the list grows without copying what it holds and without taking room for more than it holds. Only
// the first block grows by doubling from a few entries, so that a small lay takes little memory.
class PlacementList {
public:
    struct Entry {
        int32_t modelIndex;
        int32_t pieceIndex;
        float angle;
        float x;
        float y;
        int32_t valueC;
        uint16_t fileOrdinalB; // the file's 16-bit values, before 1 is subtracted
        uint16_t fileOrdinalC;
        int8_t fileOrdinalA;
        uint8_t flags; // kFlag1, kFlag2, kFromP

        static constexpr uint8_t kFlag1 = 1;
        static constexpr uint8_t kFlag2 = 2;
        static constexpr uint8_t kFromP = 4;

        bool Flag1() const { return (flags & kFlag1) != 0; }
        bool Flag2() const { return (flags & kFlag2) != 0; }
        bool IsP() const { return (flags & kFromP) != 0; }
        Placement Expand() const;
    };
    static_assert(sizeof(Entry) == 32, "two entries to a cache line");

    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = Placement;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Placement;

        const_iterator(const PlacementList& list, size_t index) : list(&list), index(index) {}
        Placement operator*() const { return (*list)[index]; }
        const_iterator& operator++() {
            ++index;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return index == other.index; }
        bool operator!=(const const_iterator& other) const { return index != other.index; }

    private:
        const PlacementList* list;
        size_t index;
    };

    size_t size() const { return count; }
    bool empty() const { return count == 0; }
    Placement operator[](size_t i) const { return At(i).Expand(); }
    const Entry& At(size_t i) const { return blocks[i >> kBlockShift][i & kBlockMask]; }
    const_iterator begin() const { return {*this, 0}; }
    const_iterator end() const { return {*this, count}; }

    // Appends the placement that the 44 bytes of an entry at `entry` describe (CR LF pairs already folded),
    // from a 'P' record when `fromP`: model and piece index (big-endian 32-bit), flag1, ordinal A (a signed
    // byte), an unused byte, flag2, angle, x and y (big-endian single precision), ordinal B (16 bits), 6
    // unused bytes, value C (32 bits), 2 unused bytes, ordinal C (16 bits) and 4 unused bytes.
    void Append(const char* entry, bool fromP) {
        if (count == capacity) {
            Grow();
        }
        Entry& e = blocks[count >> kBlockShift][count & kBlockMask];
        using detail::BigEndian16;
        using detail::BigEndian32;
        using detail::BigEndianFloat;
        e.modelIndex = static_cast<int32_t>(BigEndian32(entry));
        e.pieceIndex = static_cast<int32_t>(BigEndian32(entry + 4));
        e.angle = BigEndianFloat(entry + 12);
        e.x = BigEndianFloat(entry + 16);
        e.y = BigEndianFloat(entry + 20);
        e.valueC = static_cast<int32_t>(BigEndian32(entry + 32));
        e.fileOrdinalB = BigEndian16(entry + 24);
        e.fileOrdinalC = BigEndian16(entry + 38);
        e.fileOrdinalA = static_cast<int8_t>(entry[9]);
        e.flags = static_cast<uint8_t>((entry[8] != 0 ? Entry::kFlag1 : 0) | (entry[11] != 0 ? Entry::kFlag2 : 0) |
                                       (fromP ? Entry::kFromP : 0));
        ++count;
    }

    // Calls take(index, entry) for the entries from `from` to before `to`, block by block.
    template <typename Take> void ForEach(size_t from, size_t to, Take take) const {
        while (from < to) {
            const Entry* block = blocks[from >> kBlockShift].begin();
            const size_t blockEnd = std::min(to, ((from >> kBlockShift) + 1) << kBlockShift);
            for (; from < blockEnd; ++from) {
                take(from, block[from & kBlockMask]);
            }
        }
    }

private:
    static constexpr size_t kBlockShift = 16;
    static constexpr size_t kBlockSize = size_t{1} << kBlockShift;
    static constexpr size_t kBlockMask = kBlockSize - 1;

    // Makes room for one more entry: the first block doubles until it is full, then a new block is added.
    void Grow();

    std::vector<memory::LargeArray<Entry>> blocks;
    size_t count = 0;
    size_t capacity = 0;
};

} // namespace quorix
