#pragma once

// The handheld's side of the Desktop Link Protocol: takes requests from a
// message link, hands them to a handler and sends its responses back.

#include "palmlink/Dlp.h"
#include "palmlink/MessageLink.h"

namespace palmlink {

class DlpHandler {
public:
    virtual ~DlpHandler() = default;
    // The response to one request. A DecodeError raised here (an argument
    // that does not fit its layout) is answered with the Param error.
    virtual dlp::Response handle(const dlp::Request &request) = 0;
};

// Serves requests until the desktop's EndOfSync has been answered and
// returns its termination code. A request that does not decode is
// answered with an error, never trusted. Raises LinkError when the link
// fails or the desktop goes quiet for longer than `timeout`.
std::uint16_t serveDlp(MessageLink &link, DlpHandler &handler, milliseconds timeout);

} // namespace palmlink
