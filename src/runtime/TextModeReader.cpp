#include "runtime/TextModeReader.h"

namespace quorix::runtime {
namespace {
constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kCtrlZ = 0x1A;
} // namespace

size_t TextModeReader::Translate(const char* raw, size_t count, char* out) {
    size_t n = 0;
    size_t i = 0;
    if (heldCarriageReturn) {
        heldCarriageReturn = false;
        if (count > 0 && raw[0] == kLf) {
            out[n++] = kLf;
            i = 1;
        } else {
            out[n++] = kCr;
        }
    }
    for (; i < count; ++i) {
        const char c = raw[i];
        if (c == kCtrlZ) {
            ended = true;
            break;
        }
        if (c == kCr) {
            if (i + 1 == count) {
                // Decided by the first byte of the next chunk.
                heldCarriageReturn = true;
                break;
            }
            if (raw[i + 1] == kLf) {
                out[n++] = kLf;
                ++i;
                continue;
            }
        }
        out[n++] = c;
    }
    if (count == 0) {
        ended = true;
    }
    return n;
}

} // namespace quorix::runtime
