#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace quorix::detail {

// An odd multiplier for hashing pairs, drawn from the clock and spread over all bits: nothing that a lay
// written beforehand can know. Odd, so that the multiplication loses no bit of the key.
uint64_t DrawnMultiplier();
// The 64-bit key of a pair.
inline uint64_t PairBits(int32_t modelIndex, int32_t pieceIndex) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(modelIndex)) << 32) | static_cast<uint32_t>(pieceIndex);
}

// Counts the placements of each (model index, piece index) pair while a lay is read, so that a placement
// does not walk the ordered map that the writers read; MoveInto hands the counts to that map once.
//
// The counts live in a hash table on the pair (open addressing, linear probing). The home slot is the top
// bits of the key times an odd multiplier drawn for each counter: for any pairs a lay may hold, two of them
// share a home slot about as rarely as if slots were picked at random, so a crafted lay cannot make every
// placement probe a long run of pairs, as it could against any multiplier fixed in the code.
class PairCounter {
public:
    using Key = std::pair<int32_t, int32_t>; // (model index, piece index)
    using Counts = std::map<Key, int32_t>;

    PairCounter();

    void Add(int32_t modelIndex, int32_t pieceIndex) {
        if (4 * (used + 1) > 3 * slots.size()) {
            Grow();
        }
        const uint64_t key = PairBits(modelIndex, pieceIndex);
        Slot& slot = slots[SlotOf(key)];
        used += slot.count == 0 ? 1 : 0;
        slot.key = key;
        ++slot.count;
    }

    // Adds each pair's count into `counts` in 32 bits, wrapping round as the host's counts do, and empties
    // the counter. A pair whose count is a whole multiple of 2^32 adds nothing and gets no entry.
    void MoveInto(Counts& counts);

private:
    // A slot with the count 0 is free. Counts are kept in 64 bits, which no lay can exhaust, and are cut to
    // 32 bits only when they are handed over.
    struct Slot {
        uint64_t key = 0;
        uint64_t count = 0;
    };

    // The slot of `key`, or the free slot where it goes.
    size_t SlotOf(uint64_t key) const {
        size_t i = static_cast<size_t>((key * multiplier) >> shift);
        while (slots[i].count != 0 && slots[i].key != key) {
            i = (i + 1) & (slots.size() - 1);
        }
        return i;
    }
    // Doubles the table.
    void Grow();

    uint64_t multiplier;
    int shift = 0; // 64 - log2 of the table's size
    std::vector<Slot> slots;
    size_t used = 0;
};

} // namespace quorix::detail
