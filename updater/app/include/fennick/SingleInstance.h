#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

// One running instance per user and window title. The first instance listens
// on a local socket named after the title and the user id; a later start
// connects to it, sends "restore" and gives way.
class TSingleInstance : public QObject {
public:
    explicit TSingleInstance(const QString &title, QObject *parent = nullptr);
    ~TSingleInstance() override;

    // The socket name for a title: the title's letters and digits plus the user id.
    static QString ServerName(const QString &title);
    // Asks a running instance to restore its window; false when none answers.
    static bool RestoreRunning(const QString &title);
    // Starts listening as the running instance; false when that fails.
    bool Listen();

    // Called when another start asks for the window.
    std::function<void()> OnRestore;

private:
    void connectionArrived();

    QString FTitle;
    QLocalServer *FServer;
};
