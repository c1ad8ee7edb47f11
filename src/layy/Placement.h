#pragma once

#include "files/BigEndian.h"

#include <cstddef>
#include <cstdint>

namespace quorix {

// One placed piece of a lay, as a 'P' or 'T' record gives it. The flags come last, together, so that a
// lay of a million placements takes no room for padding between the fields.
struct Placement {
    int32_t modelIndex = 0; // index into the lay's model names, not checked against the list
    int32_t pieceIndex = 0; // index into the lay's piece names, not checked against the list
    int32_t ordinalA = 0;   // the file's value minus 1
    int32_t valueC = 0;
    float x = 0.0f;
    float y = 0.0f;
    float angle = 0.0f;   // degrees
    int32_t ordinalB = 0; // the file's value minus 1
    int32_t ordinalC = 0; // the file's value minus 1
    bool flag1 = false;   // the piece is turned: its angle is written turned by a further 180 degrees
    bool flag2 = false;
    bool isP = false; // from a 'P' record (true) or a 'T' record (false)
};

// The bytes of one entry of a 'P' or 'T' record.
constexpr size_t kPlacementBytes = 44;

// The placement that the 44 bytes of an entry at `entry` describe, CR LF pairs already folded: model and
// piece index (big-endian 32-bit), flag1, ordinal A (a signed byte), an unused byte, flag2, angle, x and y
// (big-endian single precision), ordinal B (16 bits), 6 unused bytes, value C (32 bits), 2 unused bytes,
// ordinal C (16 bits) and 4 unused bytes. isP is left false.
inline Placement DecodePlacement(const char* entry) {
    using detail::BigEndian16;
    using detail::BigEndian32;
    using detail::BigEndianFloat;
    Placement p;
    p.modelIndex = static_cast<int32_t>(BigEndian32(entry));
    p.pieceIndex = static_cast<int32_t>(BigEndian32(entry + 4));
    p.flag1 = entry[8] != 0;
    p.ordinalA = static_cast<signed char>(entry[9]) - 1;
    p.flag2 = entry[11] != 0;
    p.angle = BigEndianFloat(entry + 12);
    p.x = BigEndianFloat(entry + 16);
    p.y = BigEndianFloat(entry + 20);
    p.ordinalB = static_cast<int16_t>(BigEndian16(entry + 24)) - 1;
    p.valueC = static_cast<int32_t>(BigEndian32(entry + 32));
    p.ordinalC = static_cast<int16_t>(BigEndian16(entry + 38)) - 1;
    return p;
}
} // namespace quorix
