#include "layy/PairCounter.h"

#include <algorithm>
#include <array>

namespace quorix::detail {

namespace {
// Sorts the keys with a least-significant-digit radix sort on 11-bit digits, passing over the digits in
// which all keys agree: linear in the number of keys whatever they are.
void SortKeys(std::vector<uint64_t>& keys) {
    constexpr int kDigitBits = 11;
    constexpr int kDigits = (64 + kDigitBits - 1) / kDigitBits;
    constexpr size_t kValues = size_t{1} << kDigitBits;
    std::vector<std::array<size_t, kValues>> tally(kDigits);
    for (const uint64_t key : keys) {
        for (int digit = 0; digit < kDigits; ++digit) {
            ++tally[digit][(key >> (digit * kDigitBits)) & (kValues - 1)];
        }
    }
    std::vector<uint64_t> sorted(keys.size());
    for (int digit = 0; digit < kDigits; ++digit) {
        std::array<size_t, kValues>& next = tally[digit];
        if (std::find(next.begin(), next.end(), keys.size()) != next.end()) {
            continue; // every key has the same value here
        }
        size_t start = 0;
        for (size_t& count : next) {
            start += count;
            count = start - count;
        }
        for (const uint64_t key : keys) {
            sorted[next[(key >> (digit * kDigitBits)) & (kValues - 1)]++] = key;
        }
        keys.swap(sorted);
    }
}

void Enter(PairCounter::Counts& counts, uint64_t key, uint64_t total) {
    const auto added = static_cast<uint32_t>(total);
    if (added == 0) {
        return;
    }
    int32_t& count = counts[PairCounter::Key(static_cast<int32_t>(static_cast<uint32_t>(key >> 32)),
                                             static_cast<int32_t>(static_cast<uint32_t>(key)))];
    count = static_cast<int32_t>(static_cast<uint32_t>(count) + added);
}
} // namespace

bool PairCounter::Grow() {
    std::vector<Slot> grown(slots.empty() ? 1024 : 2 * slots.size());
    for (const Slot& slot : slots) {
        if (slot.count != 0) {
            size_t i = HomeSlot(slot.key, grown.size());
            int64_t probed = 0;
            while (grown[i].count != 0) {
                i = (i + 1) & (grown.size() - 1);
                ++probed;
            }
            grown[i] = slot;
            slotsProbed += probed;
            allowance -= probed;
            if (allowance < 0) {
                GiveUpTable(); // the counts are still all in the old table
                return false;
            }
        }
    }
    slots.swap(grown);
    return true;
}

void PairCounter::GiveUpTable() {
    for (const Slot& slot : slots) {
        if (slot.count != 0) {
            setAside.emplace_back(slot.key, slot.count);
        }
    }
    slots = std::vector<Slot>();
    used = 0;
    tableGivenUp = true;
}

void PairCounter::MoveInto(Counts& counts) {
    for (const Slot& slot : slots) {
        if (slot.count != 0) {
            Enter(counts, slot.key, slot.count);
        }
    }
    // The list in runs of one key, then everything set aside summed per key: a pair's count is cut to
    // 32 bits only once it is complete.
    SortKeys(listed);
    for (size_t run = 0; run < listed.size();) {
        size_t end = run + 1;
        while (end < listed.size() && listed[end] == listed[run]) {
            ++end;
        }
        setAside.emplace_back(listed[run], end - run);
        run = end;
    }
    std::sort(setAside.begin(), setAside.end());
    for (size_t run = 0; run < setAside.size();) {
        uint64_t total = 0;
        size_t end = run;
        for (; end < setAside.size() && setAside[end].first == setAside[run].first; ++end) {
            total += setAside[end].second;
        }
        Enter(counts, setAside[run].first, total);
        run = end;
    }
    *this = PairCounter();
}

} // namespace quorix::detail
