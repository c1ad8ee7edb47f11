// The placement counter on its own: ordinary pairs against pairs that a hash keeping the low bits of the
// product would send to one home slot.
#include "layy/PairCounter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

using namespace quorix;
using quorix::detail::PairCounter;

namespace {

// Arguments: placements, and 1 for the 8192 colliding pairs of the generator's colliding lays (0: the
// 64 x 128 ordinary pairs), each placement's pair picked at random.
void BM_PairCounter(benchmark::State& state) {
    const bool colliding = state.range(1) != 0;
    std::vector<PairCounter::Key> pairs(static_cast<size_t>(state.range(0)));
    uint32_t random = 12345;
    for (PairCounter::Key& pair : pairs) {
        random = random * 1664525u + 1013904223u;
        const uint32_t pick = (random >> 8) % 8192;
        pair = colliding ? PairCounter::Key(static_cast<int32_t>(pick << 19), 0)
                         : PairCounter::Key(static_cast<int32_t>(pick % 64), static_cast<int32_t>(pick / 64));
    }
    for (auto _ : state) {
        PairCounter counter;
        for (const PairCounter::Key& pair : pairs) {
            counter.Add(pair.first, pair.second);
        }
        PairCounter::Counts counts;
        counter.MoveInto(counts);
        benchmark::DoNotOptimize(counts.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PairCounter)->Args({200000, 0})->Args({200000, 1})->Unit(benchmark::kMillisecond);

} // namespace
