#pragma once

#include <stdexcept>
#include <string>

namespace desktopdb {

// Every failure of the table engine; the message is the engine's text.
class DesktopDbError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace desktopdb
