#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace ftp {

// One complete reply of the server: its three-digit code (0 when the reply
// does not begin with a number) and its text, all lines joined by CR LF.
struct TIpFtpReply {
    int Code = 0;
    QString Text;
};

// Collects the bytes of the control connection into complete replies. A
// line whose fourth character is '-' opens a multi-line reply that the first
// later line beginning with the same three digits and a blank closes.
class TIpFtpReplyCollector {
public:
    static constexpr qsizetype MaxReplySize = 64 * 1024;

    // Adds received bytes and returns the replies they complete. Throws
    // EIpError when one reply (complete or not) grows beyond MaxReplySize;
    // the collector is then empty.
    std::vector<TIpFtpReply> Add(const QByteArray &bytes);
    void Clear();

private:
    void addLine(QByteArray line, std::vector<TIpFtpReply> &out);

    QByteArray partialLine_;
    QString multiLineCode_;
    QString multiLineText_;
    qsizetype multiLineSize_ = 0;
};

} // namespace ftp
