#pragma once

#include "dravik/DravikExport.h"

#include <QChar>
#include <QObject>

#include <exception>
#include <functional>

namespace dravik {

// Handler types of the events an edit-with-button control forwards to its
// inner edit. Every handler gets the sender first: the inner edit, which
// raises the events.

using TNotifyEvent = std::function<void(QObject *Sender)>;
// Setting Key to 0 swallows the key.
using TKeyEvent = std::function<void(QObject *Sender, int &Key, Qt::KeyboardModifiers Shift)>;
// Setting Key to a null character swallows it; another character is typed
// in its place.
using TKeyPressEvent = std::function<void(QObject *Sender, QChar &Key)>;
using TMouseEvent =
    std::function<void(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(QObject *Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;

enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
// Accept starts as true; a handler that clears it refuses the drop.
using TDragOverEvent =
    std::function<void(QObject *Sender, QObject *Source, int X, int Y, TDragState State, bool &Accept)>;
using TDragDropEvent = std::function<void(QObject *Sender, QObject *Source, int X, int Y)>;
using TStartDragEvent = std::function<void(QObject *Sender)>;
using TEndDragEvent = std::function<void(QObject *Sender, QObject *Target, int X, int Y)>;

// The fifteen forwarded events.
struct TEditEvents {
    TNotifyEvent OnChange;
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TDragDropEvent OnDragDrop;
    TDragOverEvent OnDragOver;
    TEndDragEvent OnEndDrag;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TStartDragEvent OnStartDrag;
};

// A failure inside an event handler must not unwind through Qt's event
// dispatch; it ends up as a log line.
DRAVIK_EXPORT void ReportHandlerFailure(const char *message);

template <class Handler, class... Args>
void CallHandler(const Handler &handler, Args &&...args)
{
    if (!handler)
        return;
    try {
        handler(std::forward<Args>(args)...);
    } catch (const std::exception &e) {
        ReportHandlerFailure(e.what());
    } catch (...) {
        ReportHandlerFailure("Unknown error");
    }
}

} // namespace dravik
