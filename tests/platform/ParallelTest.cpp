// Work in parts: every part runs once, and a part's exception reaches the caller after all parts ended.
#include "platform/Parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

using namespace quorix;

namespace {
struct PartsCase {
    size_t parts;
    std::vector<size_t> throwing; // the parts that throw, each with its number as the message
    const char* caught;           // the message the caller catches; empty: none
};

TEST(Parallel, EveryPartRunsOnceAndTheLowestFailureReachesTheCaller) {
    const PartsCase cases[] = {
        {1, {}, ""}, {4, {}, ""}, {1, {0}, "0"}, {3, {2}, "2"}, {4, {3, 1}, "1"}, {4, {0, 2}, "0"},
    };
    for (const PartsCase& c : cases) {
        std::vector<std::atomic<int>> runs(c.parts);
        std::string caught;
        try {
            parallel::ForEachPart(c.parts, [&](size_t part) {
                ++runs[part];
                if (std::count(c.throwing.begin(), c.throwing.end(), part) > 0) {
                    throw std::runtime_error(std::to_string(part));
                }
            });
        } catch (const std::runtime_error& error) {
            caught = error.what();
        }
        EXPECT_EQ(caught, c.caught) << c.parts << " parts";
        for (size_t part = 0; part < c.parts; ++part) {
            EXPECT_EQ(runs[part].load(), 1) << "part " << part << " of " << c.parts;
        }
    }
}

TEST(Parallel, ForcedPartsCutEvenSmallWorkAndAreUndoneAfterwards) {
    EXPECT_EQ(parallel::PartsFor(10, 65536), 1u);
    {
        const parallel::ForcedParts forced(3);
        EXPECT_EQ(parallel::PartsFor(10, 65536), 3u);
        EXPECT_EQ(parallel::PartsFor(2, 65536), 2u);
        EXPECT_EQ(parallel::PartsFor(0, 65536), 1u);
    }
    EXPECT_EQ(parallel::PartsFor(10, 65536), 1u);
}
} // namespace
