#pragma once

#include <string>
#include <system_error>

namespace quorix {

// Errors have one shape: a std::error_code. The system's come in std::system_category() (errno values on
// POSIX, GetLastError values on Windows); the reasons that no system call gives are the project's own, below.
enum class FileError {
    NotRegularFile = 1, // a FIFO, a device, a socket or a link where a regular file is wanted
    InputTooLarge,      // a stream longer than the most that is read from one
    BackslashInName,    // a POSIX file name holding a backslash, which the module reads as a separator
    NameForRegularFile, // a name given for a streamed input to a regular file, which has its own
};
const std::error_category& FileErrorCategory();
std::error_code make_error_code(FileError error);

// The system's error for the last failed call of the calling thread.
std::error_code LastSystemError();
// None when a system call succeeded, else its error: ErrorUnless(::close(fd) == 0).
std::error_code ErrorUnless(bool succeeded);
// The system's number for the errors that callers tell apart: on POSIX the condition's errno value, on
// Windows the GetLastError value the file calls give for it.
std::error_code SystemError(std::errc condition);
// The words for an error. The system's own, except on Windows for the errors that POSIX systems know too,
// which read as they do there ("No such file or directory"), so that messages are the same everywhere.
std::string ErrorText(const std::error_code& error);

} // namespace quorix

template <>
struct std::is_error_code_enum<quorix::FileError> : std::true_type {};
