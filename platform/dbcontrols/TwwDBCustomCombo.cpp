#include "dbcontrols/TwwDBCustomCombo.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

namespace dbcontrols {

TwwDBCustomCombo::TwwDBCustomCombo(QWidget *parent) : QComboBox(parent)
{
    FFrame.OnChange = [this] { update(); };
}

void TwwDBCustomCombo::SetReadOnly(bool value)
{
    FReadOnly = value;
    applyReadOnly();
}

void TwwDBCustomCombo::applyReadOnly()
{
    if (QLineEdit *edit = lineEdit())
        edit->setReadOnly(FReadOnly);
}

void TwwDBCustomCombo::showPopup()
{
    if (FReadOnly || !CanDropDown())
        return;
    QComboBox::showPopup();
}

void TwwDBCustomCombo::keyPressEvent(QKeyEvent *event)
{
    if (FReadOnly) {
        // Without an edit every key may pick another item (type-ahead).
        if (!lineEdit()) {
            event->ignore();
            return;
        }
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            event->ignore();
            return;
        default:
            break;
        }
    }
    QComboBox::keyPressEvent(event);
}

void TwwDBCustomCombo::wheelEvent(QWheelEvent *event)
{
    if (FReadOnly) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

void TwwDBCustomCombo::childEvent(QChildEvent *event)
{
    QComboBox::childEvent(event);
    // An edit made later (setEditable) takes on the read-only state once it
    // is complete.
    if (event->type() == QEvent::ChildPolished && event->child() == lineEdit())
        applyReadOnly();
}

} // namespace dbcontrols
