#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace quorix::detail {

// Counts the placements of each (model index, piece index) pair while a lay is read, so that a placement
// does not walk the ordered map that the writers read; MoveInto hands the counts to that map once.
//
// The counts live in a hash table on the pair (open addressing, linear probing from the pair's home
// slot). Any fixed hash can be beaten by a crafted lay whose pairs all share one home slot: every
// placement would then probe the whole run of them, and n such pairs would cost n * n probes. So the
// table keeps an account of the slots it probes beyond the home slot: each placement pays in
// kProbesPerPlacement, on top of a starting allowance, and rehashing draws on the account too. Ordinary
// lays draw about 1 to 3 per placement. Once the account is overdrawn the table is given up for the rest
// of the lay: its counts are set aside, each later placement appends its pair to a list, and MoveInto
// sorts the list and counts it in runs. The table's work is thus at most kProbesPerPlacement slots per
// placement whatever the pairs are, the list's is a sort, and the counts handed over are the same either
// way.
class PairCounter {
public:
    using Key = std::pair<int32_t, int32_t>; // (model index, piece index)
    using Counts = std::map<Key, int32_t>;

    static constexpr int64_t kProbesPerPlacement = 8;
    static constexpr int64_t kStartingAllowance = int64_t{1} << 16;

    // Counts `times` placements of the pair.
    void Add(int32_t modelIndex, int32_t pieceIndex, uint64_t times = 1) {
        if (times == 0) {
            return;
        }
        const uint64_t key = KeyOf(modelIndex, pieceIndex);
        if (!tableGivenUp && (4 * (used + 1) <= 3 * slots.size() || Grow())) {
            size_t i = HomeSlot(key, slots.size());
            int64_t probed = 0;
            while (slots[i].count != 0 && slots[i].key != key) {
                i = (i + 1) & (slots.size() - 1);
                ++probed;
            }
            Slot& slot = slots[i];
            if (slot.count == 0) {
                slot.key = key;
                ++used;
            }
            slot.count += times;
            slotsProbed += probed;
            allowance += kProbesPerPlacement - probed;
            if (allowance < 0) {
                GiveUpTable();
            }
        } else if (times == 1) {
            listed.push_back(key);
        } else {
            setAside.emplace_back(key, times);
        }
    }

    // Adds each pair's count into `counts` in 32 bits, wrapping round as the host's counts do, and empties
    // the counter. A pair whose count is a whole multiple of 2^32 adds nothing and gets no entry.
    void MoveInto(Counts& counts);

    // The slots probed beyond the home slots so far, rehashing included: the table's work.
    int64_t SlotsProbed() const { return slotsProbed; }
    // Whether the table was given up for a sorted list.
    bool TableGivenUp() const { return tableGivenUp; }

private:
    // A slot with the count 0 is free. Counts are kept in 64 bits, which no lay can exhaust, and are cut
    // to 32 bits only when they are handed over.
    struct Slot {
        uint64_t key = 0;
        uint64_t count = 0;
    };

    static uint64_t KeyOf(int32_t modelIndex, int32_t pieceIndex) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(modelIndex)) << 32) |
               static_cast<uint32_t>(pieceIndex);
    }
    // The home slot of a key in a table of `size` slots (a power of 2).
    static size_t HomeSlot(uint64_t key, size_t size) {
        const uint64_t mixed = key * 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(mixed ^ (mixed >> 32)) & (size - 1);
    }

    // Doubles the table (the first has 1024 slots); false when the rehash overdrew the account and the
    // table was given up instead.
    bool Grow();
    void GiveUpTable();

    std::vector<Slot> slots;
    size_t used = 0;
    int64_t allowance = kStartingAllowance;
    int64_t slotsProbed = 0;
    bool tableGivenUp = false;
    // Once the table is given up: one key per placement, and (key, count) of the table and of bulk adds.
    std::vector<uint64_t> listed;
    std::vector<std::pair<uint64_t, uint64_t>> setAside;
};

} // namespace quorix::detail
