// float-sweep: writes every float bit pattern (or those from FIRST to LAST, hexadecimal) in the general
// notation by the exact path for floats and by the 21-digit expansion of the value widened to double, and
// counts the patterns where the two differ. Both cores of a machine share the range. All 2^32 patterns take
// a few minutes.
//
//   float-sweep [FIRST LAST]
#include "runtime/NumberFormat.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {
using quorix::runtime::kNumberRoom;

std::atomic<uint64_t> differing{0};

// Writes the patterns first, first + step, ... up to last; prints the first few that differ.
void Sweep(uint64_t first, uint64_t last, uint64_t step) {
    char exact[kNumberRoom];
    for (uint64_t pattern = first; pattern <= last; pattern += step) {
        const auto bits = static_cast<uint32_t>(pattern);
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        const std::string text(exact, quorix::runtime::WriteGeneral(exact, value));
        std::string reference;
        quorix::runtime::AppendGeneralByExpansion(reference, static_cast<double>(value));
        if (text != reference && differing++ < 20) {
            std::printf("%08" PRIx32 ": exact %s, expansion %s\n", bits, text.c_str(), reference.c_str());
        }
    }
}
} // namespace

int main(int argc, char** argv) {
    uint64_t first = 0;
    uint64_t last = 0xFFFFFFFFu;
    if (argc == 3) {
        first = std::strtoull(argv[1], nullptr, 16);
        last = std::min<uint64_t>(std::strtoull(argv[2], nullptr, 16), 0xFFFFFFFFu);
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: float-sweep [FIRST LAST]   (bit patterns in hexadecimal)\n");
        return 64;
    }
    const uint64_t threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    for (uint64_t i = 0; i < threads && first + i <= last; ++i) {
        workers.emplace_back(Sweep, first + i, last, threads);
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    std::printf("%" PRIu64 " patterns from %08" PRIx64 " to %08" PRIx64 ", %" PRIu64 " differing\n",
                last - first + 1, first, last, differing.load());
    return differing.load() == 0 ? 0 : 1;
}
