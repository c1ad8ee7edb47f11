// The input readers: the binary primitives (with and without CR bytes in the stream) and the text field
// readers.
#include "BenchSupport.h"

#include "files/QuorBinaryFile.h"
#include "files/QuorTextFile.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

using namespace quorix;

namespace {

constexpr int64_t kLogicalBytes = 4 << 20;
constexpr int64_t kStringCount = 400000;

class BinaryReader : public QuorBinaryFile {
public:
    bool Parse() override { return true; }
};

// Stream kinds: 0 holds no CR; 1 holds a CR LF pair (one byte as read) in every 64; 2 holds a lone CR
// in every 64.
std::string CrName(int64_t kind) {
    static const char* const names[] = {"no CR", "CR LF every 64", "lone CR every 64"};
    return names[kind];
}

uint8_t NextByte(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    uint8_t byte = static_cast<uint8_t>(state >> 24);
    return byte == '\r' || byte == '\n' ? static_cast<uint8_t>(byte + 2) : byte;
}

// A file whose reading delivers kLogicalBytes bytes.
const std::string& BinaryStream(int64_t kind) {
    return bench::ScratchFile("binary-" + std::to_string(kind) + ".bin", [kind] {
        std::string bytes;
        bytes.reserve(static_cast<size_t>(kLogicalBytes + kLogicalBytes / 32));
        uint32_t state = 7;
        for (int64_t i = 0; i < kLogicalBytes; ++i) {
            if (kind == 1 && i % 64 == 31) {
                bytes += "\r\n";
            } else if (kind == 2 && i % 64 == 31) {
                bytes += '\r';
            } else {
                bytes += static_cast<char>(NextByte(state));
            }
        }
        return bytes;
    });
}

// NUL-terminated names of 4 to 19 letters; kind 1 puts a CR LF pair into one name in 8.
const std::string& StringStream(int64_t kind, int64_t& logicalBytes) {
    static int64_t delivered[2] = {0, 0};
    const std::string& path = bench::ScratchFile("strings-" + std::to_string(kind) + ".bin", [kind] {
        std::string bytes;
        int64_t& count = delivered[kind];
        count = 0;
        uint32_t state = 11;
        for (int64_t i = 0; i < kStringCount; ++i) {
            const int length = 4 + static_cast<int>(NextByte(state) % 16);
            for (int c = 0; c < length; ++c) {
                bytes += static_cast<char>('A' + NextByte(state) % 26);
            }
            if (kind == 1 && i % 8 == 0) {
                bytes += "\r\n";
                ++count;
            }
            bytes += '\0';
            count += length + 1;
        }
        return bytes;
    });
    logicalBytes = delivered[kind];
    return path;
}

template <typename ReadAll>
void RunBinary(benchmark::State& state, const std::string& path, int64_t logicalBytes, ReadAll readAll) {
    BinaryReader reader;
    for (auto _ : state) {
        if (!reader.Open(path)) {
            state.SkipWithError("cannot open the input");
            return;
        }
        readAll(reader);
        reader.Close();
    }
    state.SetBytesProcessed(state.iterations() * logicalBytes);
    state.SetLabel(CrName(state.range(0)));
}

void BM_BinaryReadI32(benchmark::State& state) {
    RunBinary(state, BinaryStream(state.range(0)), kLogicalBytes, [](BinaryReader& reader) {
        int32_t sum = 0;
        for (int64_t i = 0; i < kLogicalBytes / 4; ++i) {
            char value[4];
            reader.ReadInt32(value);
            sum += value[0];
        }
        benchmark::DoNotOptimize(sum);
    });
}
BENCHMARK(BM_BinaryReadI32)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_BinaryReadByte(benchmark::State& state) {
    RunBinary(state, BinaryStream(state.range(0)), kLogicalBytes, [](BinaryReader& reader) {
        char byte = 0;
        int sum = 0;
        for (int64_t i = 0; i < kLogicalBytes; ++i) {
            reader.ReadByte(byte);
            sum += byte;
        }
        benchmark::DoNotOptimize(sum);
    });
}
BENCHMARK(BM_BinaryReadByte)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Reads of one placement entry's size.
void BM_BinaryReadBytes44(benchmark::State& state) {
    RunBinary(state, BinaryStream(state.range(0)), kLogicalBytes, [](BinaryReader& reader) {
        char entry[44];
        for (int64_t i = 0; i < kLogicalBytes / 44; ++i) {
            reader.ReadBytes(entry, 44);
            benchmark::DoNotOptimize(entry);
        }
    });
}
BENCHMARK(BM_BinaryReadBytes44)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_BinaryReadString(benchmark::State& state) {
    int64_t logicalBytes = 0;
    const std::string& path = StringStream(state.range(0), logicalBytes);
    RunBinary(state, path, logicalBytes, [](BinaryReader& reader) {
        std::string value;
        int64_t consumed = 0;
        for (int64_t i = 0; i < kStringCount; ++i) {
            reader.ReadString(value);
            consumed += static_cast<int64_t>(value.size()) + 1;
        }
        benchmark::DoNotOptimize(consumed);
    });
}
BENCHMARK(BM_BinaryReadString)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

// Reads every line of a file as the marker and style readers do: an integer, a real and a word in turn.
class LineReader : public QuorTextFile {
public:
    bool Parse() override {
        int number = 0;
        float real = 0.0f;
        std::string word;
        while (!IsExhausted()) {
            ReadInt(number);
            ReadFloat(real);
            ReadString(word);
            sum += number + static_cast<int64_t>(real) + static_cast<int64_t>(word.size());
        }
        return true;
    }
    int64_t sum = 0;
};

void BM_TextFieldReader(benchmark::State& state) {
    const int64_t lines = state.range(0);
    const std::string& path = bench::ScratchFile("lines-" + std::to_string(lines) + ".txt",
                                                 [lines] { return bench::MakeTextLines(lines); });
    const std::string modulePath = bench::ModulePath(path);
    for (auto _ : state) {
        LineReader reader;
        if (!reader.Load(modulePath)) {
            state.SkipWithError("the text file did not load");
            return;
        }
        benchmark::DoNotOptimize(reader.sum);
    }
    state.SetBytesProcessed(state.iterations() * bench::FileSize(path));
    state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_TextFieldReader)->Arg(300000)->Unit(benchmark::kMillisecond);

} // namespace
