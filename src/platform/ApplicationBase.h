#pragma once

namespace quorix::detail {

// The marker reader's application base class: empty because the module never starts an application and
// keeps none of the host framework's state.
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
