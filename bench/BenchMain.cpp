// The benchmark program's entry: the diagnostic log keeps no file, and host log reports are dropped.
#include "log/Log.h"

#include <benchmark/benchmark.h>

using namespace quorix;

extern "C" void dll_vq_log_error(int /*level*/, int /*code*/, const char* /*text*/, const char* /*detail*/) {}

int main(int argc, char** argv) {
    Log::DisableFile();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
