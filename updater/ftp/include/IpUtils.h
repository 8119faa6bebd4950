#pragma once

#include <QDateTime>
#include <QFile>
#include <QHostAddress>
#include <QString>

#include <optional>
#include <stdexcept>
#include <string>

// Socket-layer error codes. They keep the Windows Sockets numbering the
// update checker's messages were written against, so a code seen in a log
// means the same thing on every platform.
constexpr int IpErrAccess = 10013;
constexpr int IpErrInvalid = 10022;
constexpr int IpErrDestAddrReq = 10039;
constexpr int IpErrNotSupported = 10045;
constexpr int IpErrAddrInUse = 10048;
constexpr int IpErrAddrNotAvail = 10049;
constexpr int IpErrNetDown = 10050;
constexpr int IpErrConnReset = 10054;
constexpr int IpErrNoBufs = 10055;
constexpr int IpErrIsConn = 10056;
constexpr int IpErrNotConn = 10057;
constexpr int IpErrTimedOut = 10060;
constexpr int IpErrConnRefused = 10061;
constexpr int IpErrHostUnreach = 10065;
constexpr int IpErrHostNotFound = 11001;

// A failure of the socket layer or the FTP client, with the code that the
// error event would carry for it.
class EIpError : public std::runtime_error {
public:
    EIpError(int code, const QString &message) : std::runtime_error(message.toStdString()), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// The parts of a URL-style address text ("ftp://user:pw@host:2121/path").
// Port is 0 when the text names none.
struct TIpAddressText {
    QString Scheme;
    QString UserId;
    QString Password;
    QString Host;
    quint16 Port = 0;
    QString Path;
};

// Splits an address text into its parts. Throws EIpError with "Destination
// address required" when the text names no host, and for a port that is not
// a number from 1 to 65535.
TIpAddressText ParseAddressText(const QString &text);

// A host given as four dotted decimal numbers (each 0..255), which is used
// without asking the name service; "255.255.255.255" is the broadcast
// address. Anything else yields no value.
std::optional<QHostAddress> DottedIPv4Address(const QString &host);

// Formats a time with a Delphi-style format: yyyy/yy year, m/mm month
// (minutes right after an hour), d/dd day, h/hh hour, n/nn minutes, s/ss
// seconds, z/zzz milliseconds, "am/pm" for a 12-hour clock, text in single or
// double quotes copied as is; every other character is copied.
QString FormatDelphiDateTime(const QString &format, const QDateTime &time);

// Opens a local file without following a symbolic link at its name, and
// only when it is a regular file: a link or a device planted in a shared
// folder such as /tmp must not redirect what is written. `mode` is
// QIODevice::ReadWrite or QIODevice::WriteOnly, with Truncate as wanted; the
// file is created (mode 0600 before the umask) when missing. False with a
// reason in `error` when the file cannot be opened or is no regular file.
bool OpenRegularFile(QFile &file, const QString &fileName, QIODevice::OpenMode mode, QString &error);
