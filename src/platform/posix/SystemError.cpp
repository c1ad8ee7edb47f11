#include "platform/SystemError.h"

#include <cerrno>

namespace quorix {

std::error_code LastSystemError() {
    return {errno, std::system_category()};
}

std::error_code SystemError(std::errc condition) {
    return {static_cast<int>(condition), std::system_category()};
}

std::string ErrorText(const std::error_code& error) {
    return error.message(); // strerror's words for the system's numbers
}

} // namespace quorix
