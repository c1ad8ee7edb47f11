#pragma once

namespace quorix::detail {

// Switches the current resource module to this module for the lifetime of the guard, so that messages are
// looked up in this module's own string table and never in the host's. This module keeps no framework
// module state of its own: on Windows the string table is read through this module's own handle
// (ModuleHandle.h), elsewhere from the built-in table, so the guard has nothing to switch and exists to mark
// the places where the lookup must be this module's.
class ModuleStateGuard {
public:
    ModuleStateGuard() {}
    ~ModuleStateGuard() {}
    ModuleStateGuard(const ModuleStateGuard&) = delete;
    ModuleStateGuard& operator=(const ModuleStateGuard&) = delete;
};

} // namespace quorix::detail
