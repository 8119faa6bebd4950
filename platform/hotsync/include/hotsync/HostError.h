#pragma once

#include <stdexcept>
#include <string>

namespace hotsync {

// A failure of the HotSync host: an unknown user or conduit, a malformed
// store file, an invalid argument.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace hotsync
