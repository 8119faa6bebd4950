#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

// One running instance per user and window title. The first instance listens
// on a local socket named after the title and the user id; a later start
// connects to it and sends "restore". The running instance answers "shown"
// when it brought a window back, and the later start gives way; it answers
// "none" when it has no window to show, stops listening and ends, and the
// later start runs in its place.
class TSingleInstance : public QObject {
public:
    enum TRestoreResult { rrNoInstance, rrShown, rrNoWindow };

    explicit TSingleInstance(const QString &title, QObject *parent = nullptr);
    ~TSingleInstance() override;

    // The socket name for a title: the title's letters and digits plus the user id.
    static QString ServerName(const QString &title);
    // Asks a running instance to show its window again.
    static TRestoreResult RestoreRunning(const QString &title);
    // Starts listening as the running instance; false when that fails.
    bool Listen();

    // Called when another start asks for the window; returns whether a
    // window is visible to the user afterwards.
    std::function<bool()> OnRestore;
    // Called after this instance answered "none" and stopped listening.
    std::function<void()> OnGiveWay;

private:
    void connectionArrived();

    QString FTitle;
    QLocalServer *FServer;
};
