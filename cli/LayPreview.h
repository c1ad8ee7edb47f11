#pragma once

#include "layy/QuorLayY.h"

#include <string>

namespace quorix::cli::preview {

// Colours, for anyone reading the picture back.
constexpr const char* kPageColour = "#ffffff";
constexpr const char* kLayColour = "#f3efe0";
constexpr const char* kPColour = "#3d7cc9";
constexpr const char* kTColour = "#f08c28";
constexpr const char* kPointerColour = "#222222";
constexpr const char* kFlag1Colour = "#d62728";
constexpr const char* kOffSheetColour = "#8e24aa";

// The drawing of a lay as SVG, sized for a screen: the sheet about 1,200 pixels along its longer side and at
// least 400 along its shorter one where its proportions allow.
//
// - The sheet lies with x to the right along its length and y upwards across its width, from its lower
//   left corner, as wide as the lay's width and as long as its declared length. A declared length that is
//   the default (the lay names none), not positive, or longer than a hundred widths says nothing about
//   this lay: the sheet is then drawn as far as the placements reach (see the rule in LayPreview.cpp). A
//   sheet more than about four and a half times as long as it is wide is cut into bands, one below the
//   other, each captioned with the stretch of x it shows.
// - Each placed piece is a disc at its position: blue for a 'P' record (kind 8 in the position file),
//   orange for a 'T' record (kind 16), with a red rim when flag 1 is set (the piece is turned by 180
//   degrees), a dashed rim when flag 2 is set, and a dark pointer at the angle written to the position
//   file. Its label "piece / model" stands beside it where it covers no other label, disc or arrow; else
//   the piece name alone; else none. Hovering over a piece shows every value of it.
// - A piece far off the sheet is an arrow at the sheet's edge, pointing its way, labelled with its
//   coordinates; the drawing is not stretched to reach it. A piece whose position is not a number is
//   counted in the title and not drawn.
// - Above the sheet a title gives the file name, the width, the length and the counts; below it, a scale
//   bar and a legend.
// Names that are not valid UTF-8 are shown as the host's code page (Windows-1252) reads them, and values as
// --dump writes them.
// `fileName` is shown in the title as given; an empty one leaves the title without a file name.
std::string Svg(const QuorLayY& lay, const std::string& fileName = std::string());

} // namespace quorix::cli::preview
