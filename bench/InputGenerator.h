#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Synthetic inputs of a chosen size for the benchmarks and the floor script: LAY-Y lays and marker
// definition files with their styles folder. Every input is deterministic for its parameters and seed.
namespace bench {

struct LayParams {
    int64_t placements = 1000;
    int32_t models = 50;
    int32_t pieces = 200;
    // One placement in `crlfEvery` carries a CR LF pair in its bytes (0: none). Besides these, every line
    // feed that a value happens to hold is written bare, and every CR that a value holds is a lone CR.
    int32_t crlfEvery = 16;
    uint32_t seed = 1;
    // Instead of a model and a piece at random, one of min(models x pieces, 8192) pairs whose keys
    // (model index << 32 | piece index) differ only in their top 13 bits: piece 0, and a model index whose
    // low 19 bits are 0. A hash that multiplies the key and keeps low bits of the product sends them all to
    // one home slot, whatever the multiplier.
    bool collidingPairs = false;
};

// The bytes of a LAY-Y file: a 'Y' and a 'W' record, the name tables in 'O' records, a few records that
// the reader reads and drops (and one that it does not know), then the placements in 'P' and 'T' records
// filled up to the largest content that a record can declare. Record lengths count the file's bytes, so
// the CR of each CR LF pair is counted. Placements pick their model and piece at random.
std::string MakeLay(const LayParams& params);

struct MarkerParams {
    int32_t styles = 10;         // used style slots, at most 40
    int32_t sizes = 8;           // sizes listed in each slot
    int32_t piecesPerStyle = 20; // piece blocks of each style file
};

struct MarkerFiles {
    std::string markerPath; // <folder>/markers/bench.mkr
    int64_t totalBytes = 0; // of the marker file and all its style files
};

// Writes a version-19 marker definition file and its version-16 style files under `folder` (created when
// missing, but not its parents): the marker in folder/markers, the styles in folder/styles. Lines end in
// CR LF. Half of the piece names are shared by all styles, so that their counts are summed per size.
MarkerFiles WriteMarker(const MarkerParams& params, const std::string& folder);

// A text file of `lines` value lines as the text readers meet them: integers, reals and words in turn,
// ended by CR LF.
std::string MakeTextLines(int64_t lines);

// Writes `bytes` to `path`; throws std::runtime_error when that fails.
void WriteFile(const std::string& path, const std::string& bytes);

} // namespace bench
