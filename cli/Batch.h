#pragma once

#include "CommandLine.h"

namespace quorix::cli {

// Converts several files, each into its own folder below the output folder, on up to `jobs` threads at a
// time; prints one line per file on standard output in the order of the command line, the messages of
// each file on standard error, and a progress line on standard error when that is a terminal. Returns the
// exit status of the whole run.
int RunBatch(const CommandLine& line);

} // namespace quorix::cli
