#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <exception>
#include <functional>

// A silent abort: the operation stops without any message.
class EAbort : public std::exception {
public:
    const char *what() const noexcept override { return "Operation aborted"; }
};

// A form that can be asked whether it may close, as the main form asks every
// other form when a close request arrives while the application is minimised.
class TCloseQueryForm {
public:
    virtual ~TCloseQueryForm() = default;
    virtual void FormCloseQuery(bool &canClose) = 0;
};

// The application-wide minimise and restore events and the application's
// title. The application counts as minimised from the moment one of its
// top-level windows is minimised until one of them is shown normally again.
// The title is the application's display name, which the desktop shows with
// the windows in its task bar.
class TApplicationEvents : public QObject {
public:
    static TApplicationEvents &Instance();

    std::function<void()> OnMinimize;
    std::function<void()> OnRestore;

    bool Minimized() const { return FMinimized; }
    // Minimises, or restores, every visible top-level window.
    void Minimize();
    void Restore();

    static QString Title();
    static void SetTitle(const QString &title);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TApplicationEvents();
    void fire(const std::function<void()> &handler);

    bool FMinimized = false;
    static QPointer<TApplicationEvents> FInstance;
};
