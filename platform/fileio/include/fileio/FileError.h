#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include <stdexcept>
#include <string>

namespace fileio {

// A file step that failed: the message names the file, the step and the
// system's reason; code() is the errno value (0 when there is none).
class FileError : public std::runtime_error {
public:
    FileError(const std::string &message, int code) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

// Raises a FileError "<what>: <strerror(err)>".
[[noreturn]] void throwSystemError(const std::string &what, int err);

} // namespace fileio

#pragma GCC visibility pop
