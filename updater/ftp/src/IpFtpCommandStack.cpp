#include "ftp/IpFtpCommandStack.h"

#include "ftp/IpFtpErrors.h"
#include "ftp/IpUtils.h"

namespace ftp {

void TIpFtpCommandStack::Push(const QString &command)
{
    if (commands_.size() >= Capacity) {
        commands_.clear();
        throw EIpError(IpFtpErrCommandStackFull, QStringLiteral("Fatal Error: Command stack full"));
    }
    commands_.push_back(command);
}

std::optional<QString> TIpFtpCommandStack::Pop()
{
    if (commands_.empty())
        return std::nullopt;
    QString command = commands_.back();
    commands_.pop_back();
    return command;
}

} // namespace ftp
