#include "ftp/IpLog.h"

#include "ftp/IpUtils.h"

#include <QDateTime>
#include <QFile>

namespace ftp {

void TIpBaseLog::writeToFile(const QByteArray &bytes)
{
    if (FileName.isEmpty())
        return;
    const bool replace = WriteMode == wmOverwrite && (!started_ || startedFileName_ != FileName);
    QFile file(FileName);
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | (replace ? QIODevice::Truncate : QIODevice::Append);
    if (!file.open(mode)) {
        qWarning("cannot write the log file %s: %s", qPrintable(FileName), qPrintable(file.errorString()));
        return;
    }
    started_ = true;
    startedFileName_ = FileName;
    if (file.write(bytes) != bytes.size())
        qWarning("cannot write the log file %s: %s", qPrintable(FileName), qPrintable(file.errorString()));
}

TIpDebugLog::~TIpDebugLog()
{
    Flush();
}

void TIpDebugLog::AddEntry(const QString &text)
{
    if (!Enabled)
        return;
    pending_ += text.toUtf8();
    pending_ += '\n';
    if (pending_.size() >= BufferSize)
        Flush();
}

void TIpDebugLog::Flush()
{
    if (pending_.isEmpty())
        return;
    writeToFile(pending_);
    pending_.clear();
}

void TIpEventLog::AddEvent(const QString &text)
{
    if (!Enabled)
        return;
    writeToFile(
        (FormatDelphiDateTime(TimeFormat, QDateTime::currentDateTime()) + QLatin1Char(' ') + text + QLatin1Char('\n'))
            .toUtf8());
}

} // namespace ftp
