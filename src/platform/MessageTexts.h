#pragma once

namespace quorix::detail {

// The message texts of the module's string table (language English, United States). The resource script of
// the Windows build is generated from this table, so both builds carry the same texts.
struct MessageText {
    unsigned id;
    const char* text;
};

inline constexpr MessageText kMessageTexts[] = {
    {1, "File '%1' is not in Quorix LayY or Marker format."},
    {2, "Marker file %1 has not supported format ver.%2."},
};

} // namespace quorix::detail
