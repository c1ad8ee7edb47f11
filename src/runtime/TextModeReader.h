#pragma once

#include <cstddef>

namespace quorix::runtime {

// A file read in text mode as the Windows C runtime reads it: each CR LF pair becomes one LF, a lone CR
// stays, and a byte 0x1A ends the file. The file's bytes come in chunks; a CR that ends a chunk is held
// until the first byte of the next one tells whether it starts a pair.
class TextModeReader {
public:
    // Translates the next `count` bytes of the file into `out`, which has room for `count` + 1 bytes (a held
    // CR comes first), and returns the number of bytes put there. No bytes (`count` 0) is the end of the
    // file: a held CR is given as it is.
    size_t Translate(const char* raw, size_t count, char* out);
    // The file has ended: its end or a 0x1A was reached. Nothing more comes out of it.
    bool Ended() const { return ended; }
    // Forgets the held CR and the end, for the next file.
    void Reset() { heldCarriageReturn = ended = false; }

private:
    bool heldCarriageReturn = false;
    bool ended = false;
};

} // namespace quorix::runtime
