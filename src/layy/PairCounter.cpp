#include "layy/PairCounter.h"

#include <chrono>

namespace quorix::detail {

uint64_t DrawnMultiplier() {
    const auto now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return (now * 0x9E3779B97F4A7C15ull) | 1;
}

PairCounter::PairCounter() : multiplier(DrawnMultiplier()) {}

void PairCounter::Grow() {
    shift = slots.empty() ? 64 - 10 : shift - 1; // 1024 slots first
    std::vector<Slot> old(size_t{1} << (64 - shift));
    old.swap(slots);
    for (const Slot& slot : old) {
        if (slot.count != 0) {
            slots[SlotOf(slot.key)] = slot;
        }
    }
}

void PairCounter::MoveInto(Counts& counts) {
    for (const Slot& slot : slots) {
        const auto added = static_cast<uint32_t>(slot.count);
        if (added != 0) {
            int32_t& count =
                counts[Key(static_cast<int32_t>(slot.key >> 32), static_cast<int32_t>(slot.key))];
            count = static_cast<int32_t>(static_cast<uint32_t>(count) + added);
        }
    }
    *this = PairCounter();
}

} // namespace quorix::detail
