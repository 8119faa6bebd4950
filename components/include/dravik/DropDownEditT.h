#pragma once

#include "dravik/DravikExport.h"
#include "dravik/EditEvents.h"

#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>

namespace dravik {

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

// What the inner edit of an edit-with-button control adds to a line edit,
// whichever line edit it is built on: the drop-down handler raised by
// Alt+Down, the forwarded events, and the edit settings a line edit lacks.
class DRAVIK_EXPORT TDropDownCore {
public:
    virtual ~TDropDownCore();

    // Raised by Alt+Down (with neither Shift nor Ctrl) while
    // DropDownAllowed is true, with the inner edit as sender.
    TNotifyEvent DropDownHandler;
    // True from the edit's creation; the owning control keeps it equal to
    // "button enabled and button visible".
    bool DropDownAllowed = true;
    // The handlers the edit raises, with itself as sender.
    TEditEvents Events;

    virtual QLineEdit *LineEdit() = 0;

    TEditCharCase GetCharCase() const { return FCharCase; }
    // Converts the present text and every later text.
    void SetCharCase(TEditCharCase value);
    // A null character shows the text; any other hides it behind the
    // style's password character.
    QChar GetPasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(QChar value);
    // Whether entering the edit with Tab selects the whole text.
    bool GetAutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool value) { FAutoSelect = value; }
    // Whether the selection disappears while the edit lacks the focus.
    bool GetHideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value) { FHideSelection = value; }

    // Alt+Down without Shift and Ctrl, the key that drops the choice down.
    static bool IsDropDownKey(const QKeyEvent *event);

protected:
    // Returns true when the event was the drop-down key and is consumed.
    bool HandleSysKeyDown(QKeyEvent *event);

    TEditCharCase FCharCase = ecNormal;
    QChar FPasswordChar;
    bool FAutoSelect = true;
    bool FHideSelection = true;
    bool FClickPending = false;
    QPointer<QObject> FDragSource;
    QPoint FDragPos;
    QPointer<QObject> FDragCandidate;
    QPointer<QDrag> FDrag;
    bool FDragStarted = false;
};

// A line edit of type Base (QLineEdit or one derived from it) with the
// drop-down key and the forwarded events. The events are raised from the
// edit's own event handlers; the key that drops the choice down never
// reaches the base class or OnKeyDown.
template <class Base>
class DRAVIK_EXPORT TDropDownEditT : public Base, public TDropDownCore {
public:
    explicit TDropDownEditT(QWidget *parent = nullptr) : Base(parent)
    {
        QObject::connect(this, &QLineEdit::textChanged, this, [this] { CallHandler(Events.OnChange, this); });
    }

    QLineEdit *LineEdit() override { return this; }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (HandleSysKeyDown(event))
            return;
        if (Events.OnKeyDown) {
            int key = event->key();
            CallHandler(Events.OnKeyDown, this, key, event->modifiers());
            if (key == 0) {
                event->accept();
                return;
            }
        }
        if (Events.OnKeyPress && !event->text().isEmpty()) {
            const QChar typed = event->text().at(0);
            QChar key = typed;
            CallHandler(Events.OnKeyPress, this, key);
            if (key.isNull()) {
                event->accept();
                return;
            }
            if (key != typed) {
                QKeyEvent replaced(event->type(), event->key(), event->modifiers(), QString(key),
                                   event->isAutoRepeat(), event->count());
                Base::keyPressEvent(&replaced);
                event->setAccepted(replaced.isAccepted());
                return;
            }
        }
        Base::keyPressEvent(event);
    }

    void keyReleaseEvent(QKeyEvent *event) override
    {
        if (Events.OnKeyUp) {
            int key = event->key();
            CallHandler(Events.OnKeyUp, this, key, event->modifiers());
            if (key == 0) {
                event->accept();
                return;
            }
        }
        Base::keyReleaseEvent(event);
    }

    void mousePressEvent(QMouseEvent *event) override
    {
        Base::mousePressEvent(event);
        FClickPending = event->button() == Qt::LeftButton;
        const QPoint pos = event->position().toPoint();
        CallHandler(Events.OnMouseDown, this, event->button(), event->modifiers(), pos.x(), pos.y());
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        Base::mouseReleaseEvent(event);
        const QPoint pos = event->position().toPoint();
        if (event->button() == Qt::LeftButton && FClickPending) {
            FClickPending = false;
            if (this->rect().contains(pos))
                CallHandler(Events.OnClick, this);
        }
        CallHandler(Events.OnMouseUp, this, event->button(), event->modifiers(), pos.x(), pos.y());
    }

    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        Base::mouseDoubleClickEvent(event);
        const QPoint pos = event->position().toPoint();
        CallHandler(Events.OnDblClick, this);
        CallHandler(Events.OnMouseDown, this, event->button(), event->modifiers(), pos.x(), pos.y());
    }

    void mouseMoveEvent(QMouseEvent *event) override
    {
        Base::mouseMoveEvent(event);
        finishDrag();
        const QPoint pos = event->position().toPoint();
        CallHandler(Events.OnMouseMove, this, event->modifiers(), pos.x(), pos.y());
    }

    void timerEvent(QTimerEvent *event) override
    {
        // The line edit may start dragging its selection from a timer.
        Base::timerEvent(event);
        finishDrag();
    }

    void focusInEvent(QFocusEvent *event) override
    {
        Base::focusInEvent(event);
        const auto reason = event->reason();
        if (!FAutoSelect && (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason))
            this->deselect();
        // Switching windows or closing a popup does not enter the edit anew.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            CallHandler(Events.OnEnter, this);
    }

    void focusOutEvent(QFocusEvent *event) override
    {
        const bool keep = !FHideSelection && this->hasSelectedText();
        const int start = this->selectionStart();
        const int length = this->selectedText().size();
        const bool cursorAtStart = this->cursorPosition() == start;
        Base::focusOutEvent(event);
        if (keep && !this->hasSelectedText()) {
            if (cursorAtStart)
                this->setSelection(start + length, -length);
            else
                this->setSelection(start, length);
        }
        const auto reason = event->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            CallHandler(Events.OnExit, this);
    }

    void dragEnterEvent(QDragEnterEvent *event) override
    {
        if (!Events.OnDragOver) {
            Base::dragEnterEvent(event);
            return;
        }
        FDragSource = event->source();
        FDragPos = event->position().toPoint();
        dragOver(event, dsDragEnter);
    }

    void dragMoveEvent(QDragMoveEvent *event) override
    {
        if (!Events.OnDragOver) {
            Base::dragMoveEvent(event);
            return;
        }
        FDragSource = event->source();
        FDragPos = event->position().toPoint();
        dragOver(event, dsDragMove);
    }

    void dragLeaveEvent(QDragLeaveEvent *event) override
    {
        Base::dragLeaveEvent(event);
        if (Events.OnDragOver) {
            bool accept = true;
            CallHandler(Events.OnDragOver, this, FDragSource.data(), FDragPos.x(), FDragPos.y(), dsDragLeave, accept);
        }
    }

    void dropEvent(QDropEvent *event) override
    {
        if (!Events.OnDragDrop) {
            Base::dropEvent(event);
            return;
        }
        const QPoint pos = event->position().toPoint();
        CallHandler(Events.OnDragDrop, this, event->source(), pos.x(), pos.y());
        event->acceptProposedAction();
    }

    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::ShortcutOverride && IsDropDownKey(static_cast<QKeyEvent *>(event))) {
            // The edit takes Alt+Down before any shortcut of the window.
            event->accept();
            return true;
        }
        if (event->type() == QEvent::ChildAdded) {
            // The line edit creates a QDrag child when it starts dragging its
            // selection. The child is not fully built yet when it is added,
            // so its type is checked once control returns to the event loop
            // (the drag's own loop), or at the latest when the drag is over.
            FDragCandidate = static_cast<QChildEvent *>(event)->child();
            FDragStarted = false;
            QMetaObject::invokeMethod(this, [this] { startDrag(); }, Qt::QueuedConnection);
        }
        return Base::event(event);
    }

private:
    void dragOver(QDragMoveEvent *event, TDragState state)
    {
        bool accept = true;
        CallHandler(Events.OnDragOver, this, FDragSource.data(), FDragPos.x(), FDragPos.y(), state, accept);
        if (accept)
            event->acceptProposedAction();
        else
            event->ignore();
    }

    void startDrag()
    {
        if (FDragStarted)
            return;
        if (auto *drag = qobject_cast<QDrag *>(FDragCandidate.data())) {
            FDragStarted = true;
            FDrag = drag;
            CallHandler(Events.OnStartDrag, this);
        }
    }

    void finishDrag()
    {
        startDrag();
        if (!FDrag)
            return;
        QObject *target = FDrag->target();
        FDrag = nullptr;
        FDragCandidate = nullptr;
        QPoint pos;
        if (auto *widget = qobject_cast<QWidget *>(target))
            pos = widget->mapFromGlobal(QCursor::pos());
        CallHandler(Events.OnEndDrag, this, target, pos.x(), pos.y());
    }
};

} // namespace dravik
