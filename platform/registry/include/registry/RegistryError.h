#pragma once

#include <stdexcept>
#include <string>

namespace registry {

// A failure of the registry store or of the files under the host root:
// unreadable or malformed files, failed writes, invalid key paths.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace registry
