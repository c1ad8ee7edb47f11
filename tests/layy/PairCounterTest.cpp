// The placement counter: the counts it hands over against a plain tally, on ordinary pairs and on pairs
// that all share one home slot of its table, and where 32-bit counts wrap round.
#include "layy/PairCounter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {
using Key = PairCounter::Key;

// Pairs whose keys differ only in their top bits: the table's hash sends them all to one home slot.
Key Colliding(uint32_t i) {
    return Key(static_cast<int32_t>(i << 19), 0);
}

TEST(PairCounter, CountsAsAPlainTallyWithLinearWork) {
    uint32_t state = 1;
    std::vector<Key> ordinary, distinct, colliding; // colliding: the 8192 pairs once, then ordinary again
    for (int i = 0; i < 100000; ++i) {
        state = state * 1664525u + 1013904223u;
        ordinary.emplace_back(state % 50, (state >> 8) % 200);
        distinct.emplace_back(i / 300, i % 300 - 150); // the table grows seven times
        colliding.push_back(i < 8192 ? Colliding(i) : ordinary.back());
    }
    ordinary.insert(ordinary.end(), {{INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MIN}, {-1, -1}, {-1, 0}});
    colliding.insert(colliding.begin(), ordinary.begin(), ordinary.begin() + 1000);
    for (const auto& [name, placements, givesUpTable] :
         {std::make_tuple("ordinary", ordinary, false), std::make_tuple("distinct", distinct, false),
          std::make_tuple("colliding", colliding, true)}) {
        PairCounter counter;
        PairCounter::Counts tally;
        for (const Key& pair : placements) {
            counter.Add(pair.first, pair.second);
            ++tally[pair];
        }
        EXPECT_EQ(counter.TableGivenUp(), givesUpTable) << name;
        // Probing the colliding pairs to the end of their run would take thousands of slots per placement.
        EXPECT_LE(counter.SlotsProbed(), 16 * static_cast<int64_t>(placements.size()) + (1 << 16)) << name;
        PairCounter::Counts counts;
        counter.MoveInto(counts);
        EXPECT_EQ(counts, tally) << name;
    }
}

TEST(PairCounter, CountsWrapRoundIn32BitsOnceComplete) {
    constexpr uint64_t k2To32 = uint64_t{1} << 32;
    struct {
        const char* name;
        std::optional<int32_t> before; // the pair's entry in the map handed over, if any
        uint64_t first;                // placements of the pair counted first
        bool collide;                  // then the 8192 colliding pairs, which give up the table
        uint64_t then;                 // placements of the pair counted last
        std::optional<int32_t> after;  // the pair's entry afterwards
    } const cases[] = {
        {"2^32: no entry", {}, k2To32, false, 0, {}},
        {"2^32 and 5 more", {}, k2To32, false, 5, 5},
        {"2^31: the lowest count", {}, uint64_t{1} << 31, false, 0, INT32_MIN},
        {"2^32 - 1, given-up table, 1: no entry", {}, k2To32 - 1, true, 1, {}},
        {"2^32 - 1, given-up table, 3", {}, k2To32 - 1, true, 3, 2},
        {"onto an entry already there", 7, k2To32 - 7, false, 0, 0},
        {"onto an entry already there, table given up", -5, 2, true, 3, 0},
    };
    const Key pair(3, -4);
    PairCounter counter; // emptied by each hand-over
    for (const auto& c : cases) {
        PairCounter::Counts counts;
        if (c.before) {
            counts[pair] = *c.before;
        }
        counter.Add(pair.first, pair.second, c.first);
        for (uint32_t i = 0; c.collide && i < 8192; ++i) {
            counter.Add(Colliding(i).first, Colliding(i).second);
        }
        counter.Add(pair.first, pair.second, c.then);
        EXPECT_EQ(counter.TableGivenUp(), c.collide) << c.name;
        counter.MoveInto(counts);
        const auto found = counts.find(pair);
        EXPECT_EQ(found != counts.end() ? std::optional<int32_t>(found->second) : std::nullopt, c.after)
            << c.name;
        EXPECT_EQ(counts.size(), (c.after ? 1u : 0u) + (c.collide ? 8192u : 0u)) << c.name;
    }
}
} // namespace
