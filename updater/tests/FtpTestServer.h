#pragma once

#include <QProcess>
#include <QString>

#include <filesystem>
#include <memory>

// The Debian FTP server pyftpdlib serving one folder to one user on the
// loopback interface, on a port found free at run time, for the life of the
// object.
class FtpTestServer {
public:
    static constexpr const char *User = "gearvane";
    static constexpr const char *Password = "s3cret-pw";

    // Whether /usr/bin/python3 can import pyftpdlib.
    static bool Available();

    explicit FtpTestServer(const std::filesystem::path &folder);
    ~FtpTestServer();

    bool running() const;
    QString hostText() const;
    QByteArray output() const;

private:
    void stop();

    quint16 FPort = 0;
    std::unique_ptr<QProcess> FProcess;
};
