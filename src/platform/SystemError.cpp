#include "platform/SystemError.h"

namespace quorix {

namespace {
class FileErrors : public std::error_category {
public:
    const char* name() const noexcept override { return "quorix"; }
    std::string message(int value) const override {
        switch (static_cast<FileError>(value)) {
        case FileError::NotRegularFile:
            return "not a regular file";
        case FileError::InputTooLarge:
            return "the input is longer than the limit";
        case FileError::BackslashInName:
            return "a backslash in the name";
        case FileError::NameForRegularFile:
            return "a name for a regular file";
        }
        return "error " + std::to_string(value);
    }
};
} // namespace

const std::error_category& FileErrorCategory() {
    static const FileErrors category;
    return category;
}

std::error_code make_error_code(FileError error) {
    return {static_cast<int>(error), FileErrorCategory()};
}

std::error_code ErrorUnless(bool succeeded) {
    return succeeded ? std::error_code() : LastSystemError();
}

} // namespace quorix
