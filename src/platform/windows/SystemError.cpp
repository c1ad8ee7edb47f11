#include "platform/SystemError.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace quorix {

namespace {
// The system's errors that POSIX systems know too, with the condition each stands for and the words a
// POSIX system gives it. The first row of a condition is the number SystemError gives for it.
struct PosixWords {
    DWORD error;
    std::errc condition;
    const char* text;
};
constexpr DWORD kIsAFolder = 336; // ERROR_DIRECTORY_NOT_SUPPORTED, missing from older SDK headers
constexpr PosixWords kPosixWords[] = {
    {ERROR_FILE_NOT_FOUND, std::errc::no_such_file_or_directory, "No such file or directory"},
    {ERROR_PATH_NOT_FOUND, std::errc::no_such_file_or_directory, "No such file or directory"},
    {ERROR_INVALID_DRIVE, std::errc::no_such_file_or_directory, "No such file or directory"},
    {ERROR_BAD_NETPATH, std::errc::no_such_file_or_directory, "No such file or directory"},
    {ERROR_BAD_NET_NAME, std::errc::no_such_file_or_directory, "No such file or directory"},
    {ERROR_ACCESS_DENIED, std::errc::permission_denied, "Permission denied"},
    {ERROR_WRITE_PROTECT, std::errc::read_only_file_system, "Read-only file system"},
    {ERROR_DISK_FULL, std::errc::no_space_on_device, "No space left on device"},
    {ERROR_HANDLE_DISK_FULL, std::errc::no_space_on_device, "No space left on device"},
    {ERROR_INVALID_HANDLE, std::errc::bad_file_descriptor, "Bad file descriptor"},
    {ERROR_FILE_EXISTS, std::errc::file_exists, "File exists"},
    {ERROR_ALREADY_EXISTS, std::errc::file_exists, "File exists"},
    {ERROR_DIRECTORY, std::errc::not_a_directory, "Not a directory"},
    {kIsAFolder, std::errc::is_a_directory, "Is a directory"},
    {ERROR_DIR_NOT_EMPTY, std::errc::directory_not_empty, "Directory not empty"},
    {ERROR_NOT_ENOUGH_MEMORY, std::errc::not_enough_memory, "Cannot allocate memory"},
    {ERROR_OUTOFMEMORY, std::errc::not_enough_memory, "Cannot allocate memory"},
    {ERROR_FILENAME_EXCED_RANGE, std::errc::filename_too_long, "File name too long"},
    {ERROR_BROKEN_PIPE, std::errc::broken_pipe, "Broken pipe"},
    {ERROR_NO_DATA, std::errc::broken_pipe, "Broken pipe"},
    {ERROR_NOT_SAME_DEVICE, std::errc::cross_device_link, "Invalid cross-device link"},
    {ERROR_OPERATION_ABORTED, std::errc::interrupted, "Interrupted system call"},
};
} // namespace

std::error_code LastSystemError() {
    return {static_cast<int>(GetLastError()), std::system_category()};
}

std::error_code SystemError(std::errc condition) {
    for (const PosixWords& row : kPosixWords) {
        if (row.condition == condition) {
            return {static_cast<int>(row.error), std::system_category()};
        }
    }
    return {static_cast<int>(ERROR_GEN_FAILURE), std::system_category()};
}

std::string ErrorText(const std::error_code& error) {
    if (error.category() != std::system_category()) {
        return error.message();
    }
    for (const PosixWords& row : kPosixWords) {
        if (static_cast<int>(row.error) == error.value()) {
            return row.text;
        }
    }
    char text[512] = {};
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(error.value()),
        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.' ||
                                message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error.value()) : message;
}

} // namespace quorix
