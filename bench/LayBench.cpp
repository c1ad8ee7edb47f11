// The lay reader's record walk and the position matching.
#include "BenchSupport.h"

#include "export/PositionMatcher.h"
#include "layy/QuorLayY.h"

#include <benchmark/benchmark.h>

using namespace quorix;

namespace {

bench::LayParams LayOf(int64_t placements, int32_t crlfEvery = 16) {
    bench::LayParams params;
    params.placements = placements;
    params.crlfEvery = crlfEvery;
    return params;
}

void ParseLay(benchmark::State& state, const bench::LayParams& params) {
    const std::string& path = bench::LayFile(params);
    const std::string modulePath = bench::ModulePath(path);
    for (auto _ : state) {
        QuorLayY lay;
        if (!lay.Load(modulePath)) {
            state.SkipWithError("the lay did not load");
            return;
        }
        benchmark::DoNotOptimize(lay.GetPlacements().size());
    }
    state.SetBytesProcessed(state.iterations() * bench::FileSize(path));
    state.SetItemsProcessed(state.iterations() * params.placements);
}

// Arguments: placements, and one placement in how many with a CR LF pair (0: none).
void BM_LayYParse(benchmark::State& state) {
    ParseLay(state, LayOf(state.range(0), static_cast<int32_t>(state.range(1))));
}
BENCHMARK(BM_LayYParse)
    ->Args({250000, 16})
    ->Args({250000, 0})
    ->Args({250000, 1})
    ->Args({1000000, 16})
    ->Unit(benchmark::kMillisecond);

// Arguments: placements, and 1 when their 8192 (model, piece) pairs share one home slot of a hash table
// with a fixed multiplier (0: the 64 x 128 pairs of ordinary model and piece indexes).
void BM_LayYParsePairs(benchmark::State& state) {
    bench::LayParams params = LayOf(state.range(0));
    params.models = 64;
    params.pieces = 128;
    params.collidingPairs = state.range(1) != 0;
    ParseLay(state, params);
}
BENCHMARK(BM_LayYParsePairs)->Args({200000, 0})->Args({200000, 1})->Unit(benchmark::kMillisecond);

void BM_PositionMatcher(benchmark::State& state) {
    const QuorLayY& lay = bench::LoadedLay(state.range(0));
    // The form the position file is written from: the placements' indexes, in written order.
    quorix::detail::PositionOrder ordered;
    for (auto _ : state) {
        if (!quorix::detail::MatchPositions(lay.GetModelNames(), lay.GetPieceNames(), lay.GetPlacements(),
                                            lay.GetPlacementCounts(), ordered)) {
            state.SkipWithError("the placements do not match their counts");
            return;
        }
        benchmark::DoNotOptimize(ordered.Lines());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lay.GetPlacements().size()));
}
BENCHMARK(BM_PositionMatcher)->Arg(250000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
