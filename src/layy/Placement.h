#pragma once

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
} // namespace quorix
