// The placement counter against a plain tally: pairs of every kind, the table grown many times, pairs that a
// multiplier fixed in the code could send to one home slot, and counts added onto the entries handed over.
#include "layy/PairCounter.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
using quorix::detail::PairCounter;

TEST(PairCounter, HandsOverWhatAPlainTallyCounts) {
    struct Row {
        const char* name;
        std::vector<PairCounter::Key> placements;
    };
    std::vector<Row> rows = {
        {"ordinary, in random order", {}},
        {"each pair once: the table grows seven times", {}},
        {"keys differing only in their top bits", {}},
        {"the extremes", {{INT32_MIN, INT32_MAX}, {INT32_MAX, INT32_MIN}, {-1, -1}, {-1, 0}, {0, -1}}}};
    uint32_t state = 1;
    for (int i = 0; i < 100000; ++i) {
        state = state * 1664525u + 1013904223u;
        rows[0].placements.emplace_back(state % 50, (state >> 8) % 200);
        rows[1].placements.emplace_back(i / 300, i % 300 - 150);
        rows[2].placements.emplace_back(static_cast<int32_t>((state >> 19) << 19), 0);
    }
    rows[3].placements.insert(rows[3].placements.end(), rows[3].placements.begin(),
                              rows[3].placements.end() - 1);
    for (const Row& row : rows) {
        PairCounter counter;
        // Counts are added onto the entries already there, in 32 bits.
        PairCounter::Counts counts{{{0, -1}, INT32_MAX}, {{-7, 7}, 5}};
        PairCounter::Counts tally = counts;
        for (const PairCounter::Key& pair : row.placements) {
            counter.Add(pair.first, pair.second);
            tally[pair] = static_cast<int32_t>(static_cast<uint32_t>(tally[pair]) + 1u);
        }
        counter.MoveInto(counts);
        EXPECT_EQ(counts, tally) << row.name;
        counter.MoveInto(counts); // the counter was emptied
        EXPECT_EQ(counts, tally) << row.name;
    }
}
} // namespace
