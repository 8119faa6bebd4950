#include "ftp/IpFtpReply.h"

#include "ftp/IpFtpErrors.h"
#include "ftp/IpUtils.h"

namespace ftp {

namespace {

int replyCode(const QString &line)
{
    if (line.size() < 3)
        return 0;
    for (int i = 0; i < 3; ++i)
        if (line.at(i) < QLatin1Char('0') || line.at(i) > QLatin1Char('9'))
            return 0;
    return line.left(3).toInt();
}

} // namespace

std::vector<TIpFtpReply> TIpFtpReplyCollector::Add(const QByteArray &bytes)
{
    std::vector<TIpFtpReply> out;
    partialLine_ += bytes;
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = partialLine_.indexOf('\n', start);
        if (lf < 0)
            break;
        QByteArray line = partialLine_.mid(start, lf - start);
        start = lf + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        addLine(line, out);
    }
    partialLine_.remove(0, start);
    if (multiLineSize_ + partialLine_.size() > MaxReplySize) {
        Clear();
        throw EIpError(IpFtpErrReplyTooLong,
                       QStringLiteral("Reply from the server is longer than %1 bytes").arg(MaxReplySize));
    }
    return out;
}

void TIpFtpReplyCollector::addLine(QByteArray raw, std::vector<TIpFtpReply> &out)
{
    if (multiLineSize_ + raw.size() + 2 > MaxReplySize) {
        Clear();
        throw EIpError(IpFtpErrReplyTooLong,
                       QStringLiteral("Reply from the server is longer than %1 bytes").arg(MaxReplySize));
    }
    const QString line = QString::fromUtf8(raw);
    if (!multiLineCode_.isEmpty()) {
        multiLineText_ += QLatin1String("\r\n") + line;
        multiLineSize_ += raw.size() + 2;
        if (line.startsWith(multiLineCode_ + QLatin1Char(' '))) {
            out.push_back({replyCode(multiLineCode_), multiLineText_});
            multiLineCode_.clear();
            multiLineText_.clear();
            multiLineSize_ = 0;
        }
        return;
    }
    if (line.size() >= 4 && line.at(3) == QLatin1Char('-')) {
        multiLineCode_ = line.left(3);
        multiLineText_ = line;
        multiLineSize_ = raw.size();
        return;
    }
    out.push_back({replyCode(line), line});
}

void TIpFtpReplyCollector::Clear()
{
    partialLine_.clear();
    multiLineCode_.clear();
    multiLineText_.clear();
    multiLineSize_ = 0;
}

} // namespace ftp
