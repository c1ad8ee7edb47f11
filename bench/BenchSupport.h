#pragma once

#include "InputGenerator.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quorix {
class QuorLayY;
}

// Shared pieces of the benchmark programs: one scratch folder per run, inputs generated on first use and
// kept for the rest of the run, and the size of a file.
namespace bench {

// The run's scratch folder (under TMPDIR or /tmp); removed when the program ends.
const std::string& ScratchFolder();

// The path of a lay generated with `params`, written on the first request for those parameters.
const std::string& LayFile(const LayParams& params);

// The path of a marker generated with `params` in its own folder, written on the first request; `bytes`
// receives the size of the marker and its style files.
const std::string& MarkerFile(const MarkerParams& params, int64_t* bytes = nullptr);

// A file in the scratch folder under `name`, written with the bytes of `make()` on the first request.
const std::string& ScratchFile(const std::string& name, const std::function<std::string()>& make);

// A lay of `placements` placements over 50 models and 200 pieces, loaded once and kept for the run.
const quorix::QuorLayY& LoadedLay(int64_t placements);

int64_t FileSize(const std::string& path);

// The module's form of a path of the operating system.
std::string ModulePath(const std::string& systemPath);

} // namespace bench
