// Marker resolution and whole imports, from the input file to both import files.
#include "BenchSupport.h"

#include "entry/QuorImport.h"
#include "marker/QuorMarker.h"

#include <benchmark/benchmark.h>

#include <filesystem>

using namespace quorix;

namespace {

bench::MarkerParams MarkerOf(const benchmark::State& state) {
    bench::MarkerParams params;
    params.styles = static_cast<int32_t>(state.range(0));
    params.sizes = static_cast<int32_t>(state.range(1));
    params.piecesPerStyle = static_cast<int32_t>(state.range(2));
    return params;
}

// Parse and resolve of a marker (every style file read and summed into the size models). Arguments:
// styles, sizes per style, pieces per style.
void BM_MarkerResolve(benchmark::State& state) {
    int64_t bytes = 0;
    const std::string modulePath = bench::ModulePath(bench::MarkerFile(MarkerOf(state), &bytes));
    for (auto _ : state) {
        QuorMarker marker;
        if (!marker.Load(modulePath)) {
            state.SkipWithError("the marker did not load");
            return;
        }
        benchmark::DoNotOptimize(marker.GetSizeModels().size());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_MarkerResolve)->Args({40, 16, 200})->Args({10, 8, 20})->Unit(benchmark::kMillisecond);

ImportPaths OutputPaths() {
    const std::string folder = bench::ScratchFolder() + "/out";
    std::filesystem::create_directories(folder);
    return ImportPaths::InFolder(bench::ModulePath(folder));
}

void RunImport(benchmark::State& state, const std::string& path, int64_t inputBytes) {
    const ImportPaths paths = OutputPaths();
    char orderName[kOrderNameLength + 1] = {};
    for (auto _ : state) {
        const ImportOutcome outcome = RunImport(path, orderName, paths);
        if (!outcome.loaded || !outcome.writing.Complete()) {
            state.SkipWithError("the import failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * inputBytes);
}

// The whole import of a lay: parse, definition file, matching and position file. Argument: placements.
void BM_ImportLay(benchmark::State& state) {
    bench::LayParams params;
    params.placements = state.range(0);
    const std::string& path = bench::LayFile(params);
    RunImport(state, path, bench::FileSize(path));
    state.SetItemsProcessed(state.iterations() * params.placements);
}
BENCHMARK(BM_ImportLay)->Arg(125000)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ImportMarker(benchmark::State& state) {
    int64_t bytes = 0;
    const std::string& path = bench::MarkerFile(MarkerOf(state), &bytes);
    RunImport(state, path, bytes);
}
// {1, 4500, 1720}: a marker of 41 KB whose style of 165 KB makes 7.7 million tallies, 180 MB to write.
BENCHMARK(BM_ImportMarker)->Args({40, 16, 200})->Args({1, 4500, 1720})->Unit(benchmark::kMillisecond);

} // namespace
