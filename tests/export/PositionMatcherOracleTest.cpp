// The position matcher against the plain walk of every (model, piece) pair over every placement.
#include "export/PositionMatcher.h"

#include <gtest/gtest.h>

#include <random>

namespace {
using Counts = std::map<PositionMatcher::PairKey, int32_t>;

bool Inside(int32_t index, const std::vector<std::string>& names) {
    return index >= 0 && static_cast<size_t>(index) < names.size();
}

// For each model i and piece j in list order, take every placement not taken yet whose model name and
// piece name equal those of i and j; the number taken must be the count of (i, j), 0 when it has none.
bool Walk(const std::vector<std::string>& models, const std::vector<std::string>& pieces,
          const std::vector<Placement>& placements, const Counts& counts, std::vector<size_t>& order) {
    std::vector<bool> taken(placements.size(), false);
    for (size_t i = 0; i < models.size(); ++i) {
        for (size_t j = 0; j < pieces.size(); ++j) {
            int32_t found = 0;
            for (size_t k = 0; k < placements.size(); ++k) {
                const Placement& p = placements[k];
                if (!taken[k] && Inside(p.modelIndex, models) && Inside(p.pieceIndex, pieces) &&
                    models[static_cast<size_t>(p.modelIndex)] == models[i] &&
                    pieces[static_cast<size_t>(p.pieceIndex)] == pieces[j]) {
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

struct Lay {
    std::vector<std::string> models;
    std::vector<std::string> pieces;
    std::vector<Placement> placements;
    Counts counts;
};

// Short names from a small alphabet, so that lists often hold a name twice; "a" and "A" differ, and
// "a\0" differs from "a".
Lay RandomLay(std::mt19937& random) {
    const std::string alphabet[] = {"a", "A", "b", "", std::string("a\0", 2)};
    auto below = [&random](int n) { return static_cast<int32_t>(random() % static_cast<unsigned>(n)); };
    Lay lay;
    for (int32_t n = below(5); n > 0; --n) {
        lay.models.push_back(alphabet[below(5)]);
    }
    for (int32_t n = below(5); n > 0; --n) {
        lay.pieces.push_back(alphabet[below(5)]);
    }
    // Most indices lie inside the lists, a few one past either end; counts are kept as the lay reader
    // keeps them. Some lays are long enough for a sort inside a faster matching to show whether it keeps
    // the file order.
    auto index = [&below](size_t size) {
        const int n = static_cast<int>(size);
        return n > 0 && below(4) != 0 ? below(n) : below(n + 2) - 1;
    };
    for (int32_t n = below(4) == 0 ? below(60) : below(9); n > 0; --n) {
        Placement p;
        p.modelIndex = index(lay.models.size());
        p.pieceIndex = index(lay.pieces.size());
        lay.placements.push_back(p);
        ++lay.counts[{p.modelIndex, p.pieceIndex}];
    }
    // Sometimes a count disagrees: one more or one less, a pair without placements, or a zero entry.
    switch (below(6)) {
    case 0:
        if (!lay.counts.empty()) {
            lay.counts.begin()->second += below(2) == 0 ? 1 : -1;
        }
        break;
    case 1:
        lay.counts[{below(4) - 1, below(4) - 1}] += below(3) - 1;
        break;
    default:
        break;
    }
    return lay;
}

TEST(PositionMatcherOracle, SameResultAndOrderAsTheWalkOnRandomLays) {
    std::mt19937 random(20240611u);
    int agreed = 0;
    int refused = 0;
    for (int round = 0; round < 600; ++round) {
        const Lay lay = RandomLay(random);
        std::vector<size_t> expected;
        const bool walked = Walk(lay.models, lay.pieces, lay.placements, lay.counts, expected);
        std::vector<size_t> order{99};
        const bool matched =
            PositionMatcher::Match(lay.models, lay.pieces, lay.placements, lay.counts, order);
        ASSERT_EQ(matched, walked) << "round " << round;
        if (walked) {
            ASSERT_EQ(order, expected) << "round " << round;
            ++agreed;
        } else {
            ++refused;
        }
    }
    // Both outcomes must be well represented for the comparison to mean anything.
    EXPECT_GT(agreed, 200);
    EXPECT_GT(refused, 100);
}

TEST(PositionMatcherOracle, DuplicateNameTakesThePlacementsOfItsTwinAtTheFirstEntry) {
    const std::vector<std::string> models{"S", "M", "S"};
    const std::vector<std::string> pieces{"F", "F"};
    std::vector<Placement> placements(3);
    placements[0].modelIndex = 2; // taken by (0, 0) together with the next two
    placements[1].modelIndex = 0;
    placements[1].pieceIndex = 1;
    placements[2].modelIndex = 0;
    std::vector<size_t> order;
    EXPECT_TRUE(PositionMatcher::Match(models, pieces, placements, {{{0, 0}, 3}}, order));
    EXPECT_EQ(order, (std::vector<size_t>{0, 1, 2}));
    // The counts as the lay reader keeps them, one per pair that occurs, disagree.
    EXPECT_FALSE(
        PositionMatcher::Match(models, pieces, placements, {{{2, 0}, 1}, {{0, 1}, 1}, {{0, 0}, 1}}, order));
}
} // namespace
