#include "platform/ModuleHandle.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace quorix::detail {

namespace {
// This module's instance handle: the address of this function lies inside this module, whatever name the
// module was loaded under.
HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}
} // namespace

std::string LoadResourceString(unsigned id) {
    char buffer[1024];
    const int length = LoadStringA(ThisModule(), id, buffer, static_cast<int>(sizeof buffer));
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

} // namespace quorix::detail
