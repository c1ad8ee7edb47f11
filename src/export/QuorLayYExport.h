#pragma once

#include "layy/Placement.h"
#include "runtime/ByteSink.h"

#include <cstddef>

// A LAY-Y lay written as the host's import files, into sinks whose files the caller puts in place.
namespace quorix {

class QuorLayY;

// The description line of a lay's order block.
constexpr const char* kLayDescription = "quorix lay Y file import";
// The error of a lay whose placements disagree with their counts.
constexpr const char* kNoMatchText = "There is no position matching an item of CSV definition found.";

// The definition file: a model block per model name (its pieces with a count, in piece order) and the
// order block. Returns the number of model blocks.
size_t WriteDefinition(const QuorLayY& lay, runtime::ByteSink& file);
// The position file: a line per placement inside the name lists, by model, then piece, then file order.
// Returns the number of lines. Throws QuorUnhandledFormatFeatureException with kNoMatchText, before it
// writes anything, when the placements disagree with their counts.
size_t WritePositions(const QuorLayY& lay, runtime::ByteSink& file);

// The angle written for a placement: turned by 180 degrees when the piece is turned, in single precision.
float WrittenAngle(const Placement& placement);
float WrittenAngle(float angle, bool turned);
} // namespace quorix
