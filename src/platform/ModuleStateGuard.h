#pragma once

namespace quorix::detail {

// Marks where messages must come from this module's own string table: empty because the module keeps no
// framework module state to switch, and its messages are read through its own handle (ModuleHandle.h).
class ModuleStateGuard {
public:
    ModuleStateGuard() {}
    ~ModuleStateGuard() {}
    ModuleStateGuard(const ModuleStateGuard&) = delete;
    ModuleStateGuard& operator=(const ModuleStateGuard&) = delete;
};

} // namespace quorix::detail
