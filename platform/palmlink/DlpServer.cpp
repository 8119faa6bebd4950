#include "palmlink/DlpServer.h"

#include "palmlink/DlpCommands.h"

namespace palmlink {

using namespace dlp;

std::uint16_t serveDlp(MessageLink &link, DlpHandler &handler, milliseconds timeout)
{
    for (;;) {
        Bytes message = link.receive(timeout);
        Response response;
        std::optional<std::uint16_t> termination;
        if (message.empty() || isResponse(message)) {
            response.function = message.empty() ? 0 : message[0] & 0x7F;
            response.errorCode = error::IllegalRequest;
        } else {
            try {
                Request request = Request::decode(message);
                response = handler.handle(request);
                response.function = request.function;
                if (request.function == static_cast<std::uint8_t>(Function::EndOfSync)) {
                    termination = 0;
                    if (const Argument *a = request.find(kFirstArg))
                        termination = decodeArgument<EndOfSyncRequest>(a->data).termination;
                }
            } catch (const DecodeError &) {
                response = Response{static_cast<std::uint8_t>(message[0] & 0x7F), error::Param, {}};
                termination.reset();
            }
        }
        if (termination) {
            // The sync is over whether or not the desktop still takes the
            // answer (it may close the line as soon as it has it).
            try {
                link.send(response.encode(), link.lastReceivedXid());
            } catch (const LinkError &) {
            }
            return *termination;
        }
        link.send(response.encode(), link.lastReceivedXid());
    }
}

} // namespace palmlink
