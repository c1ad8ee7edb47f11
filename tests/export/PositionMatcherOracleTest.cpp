// The position matcher against the plain walk of every (model, piece) pair over every placement.
#include "export/PositionMatcher.h"
#include "platform/Parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

namespace {
using NameList = std::vector<std::string>;
using Counts = std::map<PositionMatcher::PairKey, int32_t>;

// Whether `index` lies inside the list and names `name` there.
bool Names(const NameList& names, int32_t index, const std::string& name) {
    return index >= 0 && index < static_cast<int32_t>(names.size()) && names[index] == name;
}

// For each model i and piece j in list order, take every placement not taken yet whose model name and
// piece name equal those of i and j; the number taken must be the count of (i, j), 0 when it has none.
bool Walk(const NameList& models, const NameList& pieces, const std::vector<Placement>& placements,
          const Counts& counts, std::vector<size_t>& order) {
    std::vector<bool> taken(placements.size(), false);
    for (size_t i = 0; i < models.size(); ++i) {
        for (size_t j = 0; j < pieces.size(); ++j) {
            int32_t found = 0;
            for (size_t k = 0; k < placements.size(); ++k) {
                if (!taken[k] && Names(models, placements[k].modelIndex, models[i]) &&
                    Names(pieces, placements[k].pieceIndex, pieces[j])) {
                    taken[k] = true;
                    order.push_back(k);
                    ++found;
                }
            }
            const auto count = counts.find({static_cast<int32_t>(i), static_cast<int32_t>(j)});
            if (found != (count == counts.end() ? 0 : count->second)) {
                return false;
            }
        }
    }
    return true;
}

class PositionMatcherOracle : public testing::TestWithParam<size_t> {};

// In one part and cut into two, three and four parts that run at the same time, whatever the machine.
TEST_P(PositionMatcherOracle, SameResultAndOrderAsTheWalkOnRandomLays) {
    const Parallel::ForcedParts parts(GetParam());
    // Short names from a small alphabet, so that lists often hold a name twice; "a" and "A" differ, and
    // "a\0" differs from "a".
    const std::string alphabet[] = {"a", "A", "b", "", std::string("a\0", 2)};
    std::mt19937 random(20240611u);
    const auto below = [&random](size_t n) { return static_cast<int32_t>(random() % n); };
    // Most indices lie inside the list, a few one past either end.
    const auto index = [&below](const NameList& names) {
        return names.empty() || below(4) == 0 ? below(names.size() + 2) - 1 : below(names.size());
    };
    int agreed = 0;
    int refused = 0;
    for (int round = 0; round < 600; ++round) {
        NameList models(static_cast<size_t>(below(5)));
        NameList pieces(static_cast<size_t>(below(5)));
        std::generate(models.begin(), models.end(), [&] { return alphabet[below(5)]; });
        std::generate(pieces.begin(), pieces.end(), [&] { return alphabet[below(5)]; });
        // Counts as the lay reader keeps them. Some lays are long enough for a sort inside a faster
        // matching to show whether it keeps the file order.
        std::vector<Placement> placements(static_cast<size_t>(below(4) == 0 ? below(60) : below(9)));
        Counts counts;
        for (Placement& p : placements) {
            p.modelIndex = index(models);
            p.pieceIndex = index(pieces);
            p.x = static_cast<float>(&p - placements.data()); // tells the placements apart
            p.y = static_cast<float>(below(1000));
            p.angle = static_cast<float>(below(360));
            p.flag1 = below(2) == 0;
            p.flag2 = below(2) == 0;
            p.isP = below(2) == 0;
            ++counts[{p.modelIndex, p.pieceIndex}];
        }
        // A count at a random pair, perhaps outside the lists: a zero entry where there was none, and in a
        // third of the lays one more or one less than its placements (or unchanged).
        counts[{below(4) - 1, below(4) - 1}] += below(3) == 0 ? below(3) - 1 : 0;
        std::vector<size_t> expected;
        const bool walked = Walk(models, pieces, placements, counts, expected);
        std::vector<size_t> order{99};
        ASSERT_EQ(PositionMatcher::Match(models, pieces, placements, counts, order), walked)
            << "round " << round;
        // The form the position file is written from: the same placements, their names by first entry.
        std::vector<PositionMatcher::Position> ordered(1);
        ASSERT_EQ(PositionMatcher::Match(models, pieces, placements, counts, ordered), walked)
            << "round " << round;
        if (walked) {
            ASSERT_EQ(order, expected) << "round " << round;
            ASSERT_EQ(ordered.size(), expected.size()) << "round " << round;
            for (size_t k = 0; k < expected.size(); ++k) {
                const Placement& p = placements[expected[k]];
                const PositionMatcher::Position& got = ordered[k];
                ASSERT_EQ(models[got.model], models[static_cast<size_t>(p.modelIndex)]) << "round " << round;
                ASSERT_EQ(pieces[got.piece], pieces[static_cast<size_t>(p.pieceIndex)]) << "round " << round;
                ASSERT_TRUE(got.model <= static_cast<uint32_t>(p.modelIndex) &&
                            got.piece <= static_cast<uint32_t>(p.pieceIndex));
                ASSERT_EQ(std::make_tuple(got.x, got.y, got.angle, got.flag1, got.flag2, got.isP),
                          std::make_tuple(p.x, p.y, p.angle, p.flag1, p.flag2, p.isP))
                    << "round " << round;
            }
        }
        ++(walked ? agreed : refused);
    }
    // Both outcomes must be well represented for the comparison to mean anything.
    EXPECT_GT(agreed, 200);
    EXPECT_GT(refused, 100);
}

INSTANTIATE_TEST_SUITE_P(Parts, PositionMatcherOracle, testing::Values(1, 2, 3, 4),
                         [](const testing::TestParamInfo<size_t>& info) {
                             return std::to_string(info.param) + "Parts";
                         });
} // namespace
