#pragma once

#ifdef _WIN32
#include <string>

// This module's own instance handle on Windows, and the string table resources looked up through it. The
// lookup never goes through the host's executable or any other library loaded in the process.
class ModuleHandle {
public:
    static void* Get();
    // The string of `id` from this module's string table (English, United States), or empty when absent.
    static std::string LoadResourceString(unsigned id);
};
#endif
