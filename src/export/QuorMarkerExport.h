#pragma once

#include "runtime/ByteSink.h"

#include <cstddef>

// A marker written as the host's import files, into sinks whose files the caller puts in place.
namespace quorix {

class QuorMarker;

// The description line of a marker's order block.
constexpr const char* kMarkerDescription = "quorix marker definition file import";

// The definition file: a model block per size number (labelled with the number in decimal) with its
// pieces summed over the style slots, then the order block. Returns the number of model blocks.
size_t WriteDefinition(const QuorMarker& marker, runtime::ByteSink& file);
// The position file of a marker, which is empty. Returns 0, the number of lines.
size_t WritePositions(const QuorMarker& marker, runtime::ByteSink& file);
} // namespace quorix
