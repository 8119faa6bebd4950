#pragma once

#include <QByteArray>
#include <QString>

namespace ftp {

enum TIpWriteMode { wmOverwrite, wmAppend };

// A log file of the FTP client. With wmOverwrite the first write after the
// file name was set (or changed) replaces the file's content; every later
// write appends. A log that cannot be written never disturbs a transfer.
class TIpBaseLog {
public:
    explicit TIpBaseLog(const QString &fileName) : FileName(fileName) {}
    virtual ~TIpBaseLog() = default;

    bool Enabled = false;
    QString FileName;
    TIpWriteMode WriteMode = wmOverwrite;

protected:
    void writeToFile(const QByteArray &bytes);

private:
    QString startedFileName_;
    bool started_ = false;
};

// Every command sent and every reply received. Entries are kept in memory
// until BufferSize bytes have gathered, the client's control connection
// closes, Flush is called or the log is destroyed.
class TIpDebugLog : public TIpBaseLog {
public:
    TIpDebugLog() : TIpBaseLog(QStringLiteral("debug.log")) {}
    ~TIpDebugLog() override;

    int BufferSize = 65536;

    void AddEntry(const QString &text);
    void Flush();

private:
    QByteArray pending_;
};

// Transfer events, one line each, headed by the time in TimeFormat (Delphi
// format letters, see FormatDelphiDateTime). Written as they happen.
class TIpEventLog : public TIpBaseLog {
public:
    TIpEventLog() : TIpBaseLog(QStringLiteral("event.log")) {}

    QString TimeFormat = QStringLiteral("yyyy.mm.dd hh:nn:ss");

    void AddEvent(const QString &text);
};

} // namespace ftp
