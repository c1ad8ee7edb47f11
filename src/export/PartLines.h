#pragma once

#include "platform/Parallel.h"
#include "runtime/ByteSink.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace quorix::detail {

// The lines that one part makes of an import file, held in a buffer of its own, which is allocated
// once and reused for every chunk of the part. They are passed on to the file in the chunk's turn: at the
// end of the chunk, or earlier when the buffer is full, so that a part never holds more than the buffer
// and its longest line.
class PartLines final : public runtime::ByteSink {
public:
    explicit PartLines(runtime::ByteSink& file) : file(file) { Grow(kBufferBytes); }

    // Starts a chunk, whose turn lines are passed on in.
    void Begin(parallel::Turn& chunkTurn) { turn = &chunkTurn; }
    // Waits for the chunk's turn and passes on what is held.
    void HandOn() {
        turn->Take();
        file.Append({buffer.get(), used});
        used = 0;
    }

private:
    static constexpr size_t kBufferBytes = size_t{256} << 10;

    void MakeRoom(size_t room) override {
        HandOn();
        if (capacity < room) {
            Grow(room);
        }
    }

    runtime::ByteSink& file;
    parallel::Turn* turn = nullptr;
};

// Chunks 0 to chunks - 1 of an import file made by `parts` parts at the same time and passed on to `file`
// in chunk order, each through the buffer of its part, so that the file is the same as when written in
// one go: write(sink, chunk) puts the lines of a chunk into sink. With one part the chunks go straight
// into the file.
inline void WriteInChunks(runtime::ByteSink& file, size_t parts, size_t chunks,
                          const std::function<void(runtime::ByteSink&, size_t)>& write) {
    parts = std::min(parts, chunks);
    if (parts <= 1) {
        for (size_t chunk = 0; chunk < chunks; ++chunk) {
            write(file, chunk);
        }
        return;
    }
    // Every part's buffer made before any part starts: which part takes which chunk depends on the
    // threads' timing, and the memory an import asks for must not.
    std::vector<std::unique_ptr<PartLines>> partLines;
    partLines.reserve(parts);
    for (size_t part = 0; part < parts; ++part) {
        partLines.push_back(std::make_unique<PartLines>(file));
    }
    parallel::ForEachChunkInOrder(parts, chunks, [&](size_t part, size_t chunk, parallel::Turn& turn) {
        PartLines& sink = *partLines[part];
        sink.Begin(turn);
        write(sink, chunk);
        sink.HandOn();
    });
}

} // namespace quorix::detail
