#pragma once

namespace quorix::detail {

// The marker reader's application base: empty, as the module starts no application and keeps no host state.
class ApplicationBase {
public:
    ApplicationBase() = default;
    virtual ~ApplicationBase() = default;
    ApplicationBase(const ApplicationBase&) = delete;
    ApplicationBase& operator=(const ApplicationBase&) = delete;

protected:
    void* resourceLibrary = nullptr; // a resource library's handle; none is ever loaded
};

} // namespace quorix::detail
