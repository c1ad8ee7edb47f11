#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace quorix::cli {

// Everything the converter prints on standard output goes through here, so that the first failed write
// is known with its reason: a full disk or a closed standard output makes the run fail (exit 74) instead
// of going unnoticed.
void WriteOutput(std::FILE* to, const char* bytes, size_t size);
inline void WriteOutput(const std::string& text) {
    WriteOutput(stdout, text.data(), text.size());
}
// Passes what is buffered for standard output on (a batch line as soon as it is known).
void FlushOutput();
// Flushes standard output; when this or any earlier write failed, reports it on standard error and
// returns the more serious of `exitCode` and 74.
int FinishStandardOutput(int exitCode);

} // namespace quorix::cli
