#pragma once

#include <string>
#include <vector>

// The module's string table: message texts by id, and their formatting with %1/%2 inserts in the manner of
// the Windows message formatter. This is the one source of the texts; the Windows resource script is
// generated from the same table.
namespace quorix::detail {

constexpr unsigned kNotInQuorixFormat = 1;
constexpr unsigned kUnsupportedMarkerVersion = 2;

// The text of a message id, or nullptr when the table has no such id.
const char* MessagePattern(unsigned id);

// Loads message `id` and fills its inserts (%1 is inserts[0], ...). The template is scanned once; an
// inserted text is copied as it stands and never scanned again. Returns an empty string for an unknown id.
std::string LoadMessage(unsigned id, const std::vector<std::string>& inserts);

// The formatter itself, on any template text: %1 to %99 are inserts, "%%" and any other "%c" stand for the
// character c.
std::string FillInserts(const std::string& pattern, const std::vector<std::string>& inserts);

} // namespace quorix::detail
