#pragma once

// What differs between the converter on POSIX systems and on Windows: paths and folders, the standard
// streams, inputs that are streams and the stop of a run. The rest of cli/ is the same on both; each
// function below has a POSIX source (posix/Platform.cpp) and a Windows one (windows/Platform.cpp), and the
// words for errors are the module's (ErrorText).
#include "platform/PathMapping.h"

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

namespace quorix::cli::platform {
using paths::kBackslashSeparates;

// Sets up the standard streams before anything is read or written. POSIX: a stream that the caller closed
// is opened onto the null device the wrong way round (standard output for reading), so that no file the
// converter opens takes its number and anything written to it fails, and is reported, instead of landing
// in an import file. Windows: the three streams carry their bytes unchanged (no CR put before a line feed,
// no end of input at a byte 0x1A), as on POSIX; files are never opened through them there.
void PrepareStandardStreams();

// How a progress line can be drawn on standard error.
enum class Terminal {
    None,     // not a terminal (or console): no progress line
    Erasable, // "\r\033[K" takes the cursor back and erases the line
    Plain,    // a console without control sequences (before Windows 10): only "\r"
};
Terminal StandardErrorTerminal();

// `path` made absolute against the current folder, in the form the module reads it in. POSIX: unchanged
// when it starts with '/'. Windows: every '/' turned into '\'; a path without a drive gets the current
// folder's drive (or share), a drive's relative path ("D:x") that drive's current folder.
std::string AbsolutePath(const std::string& path);
// `folder` and `name` joined by a folder separator: '/' on POSIX; on Windows the one that the folder
// already uses ('\' when it holds none), so that paths are printed in the user's own style.
std::string JoinPath(const std::string& folder, const std::string& name);

// Creates `folder` and the folders above it that are missing, as mkdir -p does (on Windows below a drive's
// root or a share); `created` receives the folders made, outermost first.
std::error_code MakeFolders(const std::string& folder, std::vector<std::string>& created);
// Removes the empty folders that MakeFolders made, innermost first.
void RemoveFolders(const std::vector<std::string>& created);

// Looks at the input `path` (absolute; empty for standard input). A regular file is left for the readers
// to read from its path: `size` receives its size. Anything else that can be read (standard input, a
// pipe, a device) is read once, to its end, into `bytes`, and `streamed` is set; more than `limit` bytes
// are refused (FileError::InputTooLarge). A folder is refused as one; a stop ends the read, whether it
// waits or not.
std::error_code ReadInput(const std::string& path, uint64_t limit, bool& streamed, std::string& bytes,
                          int64_t& size);
// Appends `count` bytes of a stream to `bytes`, unless they would make it longer than `limit`. The room
// grows by doubling but never past the limit, so that what is held stays below it.
bool Append(std::string& bytes, const char* chunk, size_t count, uint64_t limit);

// Whether an output that is not an import file (--preview) is replaced whole, under a temporary name, or
// written through as cat writes to what it is given: a regular file, or a name not taken, is replaced; a
// terminal, a pipe, a device or a symbolic link (/dev/stdout) is written through.
bool ReplacedWhole(const std::string& path);
// Writes `bytes` through to the output `path` (see ReplacedWhole); `opened` tells whether an error came
// after the output was opened.
std::error_code WriteThrough(const std::string& path, const std::string& bytes, bool& opened);

// The stop of a run: POSIX SIGINT or SIGTERM; Windows Ctrl-C (as SIGINT) or Ctrl-Break (as SIGTERM). The
// number of the signal that asked the converter to stop, or 0. Conversions check it before they write: an
// import is either written whole or not started.
int StopSignal();
// Catches the stop instead of ending the process at once. A thread waiting on a stream in ReadInput is
// woken, whichever thread the stop reaches. POSIX: a write past the file-size limit (SIGXFSZ) fails with
// its error instead of ending the process.
void CatchStopSignals();
} // namespace quorix::cli::platform
