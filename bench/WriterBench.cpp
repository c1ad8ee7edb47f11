// The import file writers and their number formatting.
#include "BenchSupport.h"

#include "export/DefinitionFileWriter.h"
#include "export/FileSink.h"
#include "export/PositionFileWriter.h"
#include "export/QuorLayYExport.h"
#include "layy/QuorLayY.h"
#include "runtime/NumberFormat.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

using namespace quorix;
using quorix::detail::DefinitionFileWriter;
using quorix::detail::PositionFileWriter;

namespace {

// Starts the file `name` in the scratch folder.
bool Create(FileSink& file, const char* name) {
    static Folder folder;
    static const bool open = !folder.Open(bench::ScratchFolder());
    return open && file.Create(folder, name);
}

// The values of a lay's position lines: angles, x and y as the generated lays hold them.
std::vector<float> PositionValues(int64_t count) {
    const QuorLayY& lay = bench::LoadedLay(250000);
    std::vector<float> values;
    for (const Placement& p : lay.GetPlacements()) {
        values.push_back(quorix::WrittenAngle(p));
        values.push_back(p.x);
        values.push_back(p.y);
        if (static_cast<int64_t>(values.size()) >= count) {
            break;
        }
    }
    return values;
}

void BM_NumberFormatGeneral(benchmark::State& state) {
    const std::vector<float> values = PositionValues(300000);
    std::string out;
    int64_t bytes = 0;
    for (auto _ : state) {
        out.clear();
        for (const float value : values) {
            quorix::runtime::AppendGeneral(out, value);
        }
        bytes += static_cast<int64_t>(out.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_NumberFormatGeneral)->Unit(benchmark::kMillisecond);

// Floats, as a lay holds them, with more than six significant digits and halves on the seventh, and
// values that take the exponent form.
void BM_NumberFormatGeneralHard(benchmark::State& state) {
    std::vector<float> values;
    for (int i = 0; i < 100000; ++i) {
        values.push_back(static_cast<float>(123456.5 + i));
        values.push_back(static_cast<float>(0.000012345678 * (i + 1)));
        values.push_back(static_cast<float>(62.99212598425197 + i * 1e-3));
    }
    std::string out;
    for (auto _ : state) {
        out.clear();
        for (const float value : values) {
            quorix::runtime::AppendGeneral(out, value);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_NumberFormatGeneralHard)->Unit(benchmark::kMillisecond);

void BM_NumberFormatInteger(benchmark::State& state) {
    std::string out;
    for (auto _ : state) {
        out.clear();
        for (int32_t i = -50000; i < 250000; ++i) {
            quorix::runtime::AppendInteger(out, i);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 300000);
}
BENCHMARK(BM_NumberFormatInteger)->Unit(benchmark::kMillisecond);

void BM_PositionFileWriter(benchmark::State& state) {
    const QuorLayY& lay = bench::LoadedLay(state.range(0));
    for (auto _ : state) {
        FileSink file;
        if (!Create(file, "positions.txt")) {
            state.SkipWithError("cannot create the position file");
            return;
        }
        const PositionFileWriter writer(lay.GetPieceNames(), lay.GetModelNames());
        lay.GetPlacements().ForEach(0, lay.GetPlacements().size(),
                                    [&](size_t, const PlacementList::Entry& p) { writer.Line(file, p); });
        if (!file.Replace()) {
            state.SkipWithError("cannot write the position file");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lay.GetPlacements().size()));
    state.SetBytesProcessed(state.iterations() * bench::FileSize(bench::ScratchFolder() + "/positions.txt"));
}
BENCHMARK(BM_PositionFileWriter)->Arg(250000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_DefinitionFileWriter(benchmark::State& state) {
    const int64_t pieces = state.range(0);
    std::vector<std::string> names;
    for (int64_t i = 0; i < 1000; ++i) {
        names.push_back("PIECE." + std::to_string(i) + "#A");
    }
    for (auto _ : state) {
        FileSink file;
        if (!Create(file, "definition.txt")) {
            state.SkipWithError("cannot create the definition file");
            return;
        }
        DefinitionFileWriter writer(file);
        for (int64_t i = 0; i < pieces; ++i) {
            if (i % 1000 == 0) {
                writer.BeginModel("ORDER-LAY", "M" + std::to_string(i / 1000));
            }
            writer.Piece(names[static_cast<size_t>(i % 1000)], static_cast<int32_t>(i % 7 + 1));
        }
        writer.BeginOrder("ORDER-LAY", quorix::kLayDescription, 62.99212598425197);
        for (int64_t m = 0; m < pieces / 1000; ++m) {
            writer.OrderLine("ORDER-LAY", "M" + std::to_string(m));
        }
        if (!file.Replace()) {
            state.SkipWithError("cannot write the definition file");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * pieces);
    state.SetBytesProcessed(state.iterations() * bench::FileSize(bench::ScratchFolder() + "/definition.txt"));
}
BENCHMARK(BM_DefinitionFileWriter)->Arg(200000)->Unit(benchmark::kMillisecond);

// The lay's whole position file: matching, then one line per placement.
void BM_LayYWritePositionFile(benchmark::State& state) {
    const QuorLayY& lay = bench::LoadedLay(state.range(0));
    const std::string system = bench::ScratchFolder() + "/posimport.txt";
    for (auto _ : state) {
        FileSink file;
        if (!Create(file, "posimport.txt")) {
            state.SkipWithError("cannot create the position file");
            return;
        }
        quorix::WritePositions(lay, file);
        if (!file.Replace()) {
            state.SkipWithError("cannot write the position file");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lay.GetPlacements().size()));
    state.SetBytesProcessed(state.iterations() * bench::FileSize(system));
}
BENCHMARK(BM_LayYWritePositionFile)->Arg(250000)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
