#include "fennick/ApplicationEvents.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

QPointer<TApplicationEvents> TApplicationEvents::FInstance;

TApplicationEvents::TApplicationEvents() : QObject(qApp)
{
    qApp->installEventFilter(this);
}

TApplicationEvents &TApplicationEvents::Instance()
{
    if (FInstance.isNull())
        FInstance = new TApplicationEvents();
    return *FInstance;
}

void TApplicationEvents::Minimize()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && !window->isMinimized())
            window->showMinimized();
}

void TApplicationEvents::Restore()
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->isMinimized())
            window->showNormal();
}

QString TApplicationEvents::Title()
{
    return QGuiApplication::applicationDisplayName();
}

void TApplicationEvents::SetTitle(const QString &title)
{
    QGuiApplication::setApplicationDisplayName(title);
}

void TApplicationEvents::fire(const std::function<void()> &handler)
{
    if (handler)
        handler();
}

bool TApplicationEvents::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange && watched->isWidgetType()) {
        auto *window = static_cast<QWidget *>(watched);
        if (window->isWindow()) {
            if (window->isMinimized() && !FMinimized) {
                FMinimized = true;
                fire(OnMinimize);
            } else if (!window->isMinimized() && FMinimized) {
                FMinimized = false;
                fire(OnRestore);
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
