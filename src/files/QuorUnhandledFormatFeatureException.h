#pragma once

#include <string>

namespace quorix {

// The module's one exception type: thrown by value with a fixed English text, caught by reference.
class QuorUnhandledFormatFeatureException {
public:
    explicit QuorUnhandledFormatFeatureException(const std::string& text) : message(text) {}
    const std::string& GetMessage() const { return message; }

private:
    std::string message;
};

} // namespace quorix
