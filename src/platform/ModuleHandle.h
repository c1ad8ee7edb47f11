#pragma once

#ifdef _WIN32
#include <string>

// This module's own instance handle on Windows, and the string table resources looked up through it. The
// lookup never goes through the host's executable or any other library loaded in the process.
namespace quorix::detail {

// This module's instance handle.
void* ThisModule();
// The string of `id` from this module's string table (English, United States), or empty when absent.
std::string LoadResourceString(unsigned id);

} // namespace quorix::detail
#endif
