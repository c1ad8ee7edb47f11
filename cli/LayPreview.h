#pragma once

#include "layy/QuorLayY.h"

#include <string>

// A drawing of a lay as SVG. The lay is a rectangle of its width, in the lay's own unit, x to the right
// and y upwards from its lower left corner, as long as its placements need. Each placed piece is a disc
// of a fortieth of the width at its position: blue for a 'P' record, orange for a 'T' record, with a red
// rim when flag 1 is set and a dashed rim when flag 2 is set, and a dark pointer at the angle that the
// position file gives it. A label with the piece's and the model's names stands to its upper right.
// Pieces whose position is not a finite number are left out.
class LayPreview {
public:
    // Colours, for anyone reading the picture back.
    static constexpr const char* kPageColour = "#ffffff";
    static constexpr const char* kLayColour = "#f3efe0";
    static constexpr const char* kPColour = "#3d7cc9";
    static constexpr const char* kTColour = "#f08c28";
    static constexpr const char* kPointerColour = "#222222";
    static constexpr const char* kFlag1Colour = "#d62728";

    // The lay's width over the radius of a piece's disc; the pointer reaches out to twice the radius.
    static constexpr double kWidthPerDiscRadius = 40.0;

    static std::string Svg(const QuorLayY& lay);
};
