#include "IpUtils.h"

#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TIpAddressText ParseAddressText(const QString &text)
{
    TIpAddressText result;
    QString rest = text.trimmed();

    const qsizetype schemeEnd = rest.indexOf(QLatin1String("://"));
    if (schemeEnd >= 0) {
        result.Scheme = rest.left(schemeEnd);
        rest = rest.mid(schemeEnd + 3);
    }

    const qsizetype pathStart = rest.indexOf(QLatin1Char('/'));
    if (pathStart >= 0) {
        result.Path = rest.mid(pathStart);
        rest = rest.left(pathStart);
    }

    // The last '@' separates the credentials, since a password may hold one.
    const qsizetype at = rest.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString credentials = rest.left(at);
        rest = rest.mid(at + 1);
        const qsizetype colon = credentials.indexOf(QLatin1Char(':'));
        result.UserId = colon >= 0 ? credentials.left(colon) : credentials;
        result.Password = colon >= 0 ? credentials.mid(colon + 1) : QString();
    }

    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            throw EIpError(IpErrDestAddrReq, QStringLiteral("Destination address required"));
        result.Host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (after.startsWith(QLatin1Char(':')))
            portText = after.mid(1);
        else if (!after.isEmpty())
            throw EIpError(IpErrInvalid, QStringLiteral("Invalid address: %1").arg(text));
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0 && rest.indexOf(QLatin1Char(':')) == colon) {
            result.Host = rest.left(colon);
            portText = rest.mid(colon + 1);
        } else {
            result.Host = rest;
        }
    }

    if (result.Host.isEmpty())
        throw EIpError(IpErrDestAddrReq, QStringLiteral("Destination address required"));

    if (!portText.isEmpty()) {
        bool ok = false;
        const uint port = portText.toUInt(&ok, 10);
        if (!ok || port == 0 || port > 65535)
            throw EIpError(IpErrInvalid, QStringLiteral("Invalid port in address: %1").arg(text));
        result.Port = static_cast<quint16>(port);
    }
    return result;
}

std::optional<QHostAddress> DottedIPv4Address(const QString &host)
{
    const QStringList parts = host.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return std::nullopt;
        for (QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        const uint byte = part.toUInt();
        if (byte > 255)
            return std::nullopt;
        value = (value << 8) | byte;
    }
    if (value == 0xFFFFFFFFu)
        return QHostAddress(QHostAddress::Broadcast);
    return QHostAddress(value);
}

namespace {

qsizetype runLength(const QString &format, qsizetype pos)
{
    const QChar c = format.at(pos).toLower();
    qsizetype n = 1;
    while (pos + n < format.size() && format.at(pos + n).toLower() == c)
        ++n;
    return n;
}

QString padded(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

} // namespace

QString FormatDelphiDateTime(const QString &format, const QDateTime &time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    const bool twelveHour = format.contains(QLatin1String("am/pm"), Qt::CaseInsensitive);
    QString out;
    bool lastWasHour = false;
    qsizetype pos = 0;
    while (pos < format.size()) {
        const QChar c = format.at(pos);
        const QChar lower = c.toLower();
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const qsizetype close = format.indexOf(c, pos + 1);
            const qsizetype end = close < 0 ? format.size() : close;
            out += format.mid(pos + 1, end - pos - 1);
            pos = end + 1;
            continue;
        }
        if (format.mid(pos, 5).compare(QLatin1String("am/pm"), Qt::CaseInsensitive) == 0) {
            out += clock.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm");
            pos += 5;
            continue;
        }
        const qsizetype n = runLength(format, pos);
        bool isHour = false;
        if (lower == QLatin1Char('y')) {
            out += n <= 2 ? padded(date.year() % 100, 2) : padded(date.year(), 4);
        } else if (lower == QLatin1Char('m')) {
            if (lastWasHour && n <= 2)
                out += padded(clock.minute(), n == 2 ? 2 : 1);
            else
                out += padded(date.month(), n >= 2 ? 2 : 1);
        } else if (lower == QLatin1Char('d')) {
            out += padded(date.day(), n >= 2 ? 2 : 1);
        } else if (lower == QLatin1Char('h')) {
            int hour = clock.hour();
            if (twelveHour)
                hour = hour % 12 == 0 ? 12 : hour % 12;
            out += padded(hour, n >= 2 ? 2 : 1);
            isHour = true;
        } else if (lower == QLatin1Char('n')) {
            out += padded(clock.minute(), n >= 2 ? 2 : 1);
        } else if (lower == QLatin1Char('s')) {
            out += padded(clock.second(), n >= 2 ? 2 : 1);
        } else if (lower == QLatin1Char('z')) {
            out += padded(clock.msec(), n >= 3 ? 3 : 1);
        } else {
            out += format.mid(pos, n);
            pos += n;
            continue; // separators do not end an hour's influence on "mm"
        }
        lastWasHour = isHour;
        pos += n;
    }
    return out;
}

bool OpenRegularFile(QFile &file, const QString &fileName, QIODevice::OpenMode mode, QString &error)
{
    int flags = O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    flags |= (mode & QIODevice::ReadOnly) ? O_RDWR : O_WRONLY;
    const QByteArray path = QFile::encodeName(fileName);
    // O_NONBLOCK keeps a planted FIFO from blocking the open; it is cleared
    // again once the file is known to be a regular one.
    const int fd = ::open(path.constData(), flags, 0600);
    if (fd < 0) {
        error = errno == ELOOP ? QStringLiteral("it is a symbolic link") : QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        error = QStringLiteral("it is not a regular file");
        return false;
    }
    if (((mode & QIODevice::Truncate) && ::ftruncate(fd, 0) != 0) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    if (!file.open(fd, mode & ~QIODevice::Truncate, QFileDevice::AutoCloseHandle)) {
        error = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
}
