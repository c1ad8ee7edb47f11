#pragma once

namespace quorix::detail {

// Marks where messages come from this module's strings: empty, as there is no framework state to switch.
class ModuleStateGuard {
public:
    ModuleStateGuard() {}
    ~ModuleStateGuard() {}
    ModuleStateGuard(const ModuleStateGuard&) = delete;
    ModuleStateGuard& operator=(const ModuleStateGuard&) = delete;
};

} // namespace quorix::detail
