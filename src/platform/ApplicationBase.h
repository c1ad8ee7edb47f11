#pragma once

namespace quorix::detail {

// Stands in for the application base class that the marker reader carries beside its file base. The
// module never starts an application object: it has no start-up or shutdown hooks, holds no state of the
// host's framework, and constructing or destroying one changes nothing outside the object.
class ApplicationBase {
public:
    ApplicationBase() = default;
    virtual ~ApplicationBase() = default;
    ApplicationBase(const ApplicationBase&) = delete;
    ApplicationBase& operator=(const ApplicationBase&) = delete;

protected:
    // Module handle of a resource library; no library is ever loaded, so it stays null.
    void* resourceLibrary = nullptr;
};

} // namespace quorix::detail
