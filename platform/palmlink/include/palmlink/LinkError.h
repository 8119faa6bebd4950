#pragma once

#include <stdexcept>

namespace palmlink {

// Every failure of the link: a peer that breaks the protocol, a time-out, a
// closed connection, an operating-system error. The message says what
// failed and why.
class LinkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Bytes that do not form what they should (a length past the end, a bad
// checksum, an unknown code).
class DecodeError : public LinkError {
public:
    using LinkError::LinkError;
};

// Nothing (or not enough) arrived before the deadline.
class TimeoutError : public LinkError {
public:
    using LinkError::LinkError;
};

// The peer closed the connection or the line went away.
class ConnectionClosedError : public LinkError {
public:
    using LinkError::LinkError;
};

} // namespace palmlink
