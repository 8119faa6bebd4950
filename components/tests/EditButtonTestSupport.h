#pragma once

#include "dravik/DBEditButton.h"
#include "dravik/EditButton.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QWidget>

#include <memory>

namespace dravik::test {

// Builds either control with some of its parts failing to be created.
class TestEditButton : public TEditButton {
public:
    using TEditButton::ptButton;
    using TEditButton::ptFrame;
    using TEditButton::ptInnerEdit;
    TestEditButton(QWidget *owner, unsigned failing) : TEditButton(owner, failing) {}
};

class TestDBEditButton : public TwwDBEditButton {
public:
    TestDBEditButton(QWidget *owner, unsigned failing) : TwwDBEditButton(owner, failing) {}
};

// A shown, active top-level window holding one control named "ebValue".
template <class Control>
struct FormWith {
    FormWith();
    std::unique_ptr<QWidget> form;
    Control *control = nullptr;

    // A second, shown edit named "edtOther" on the form.
    QLineEdit *addOtherEdit() const
    {
        auto *other = new QLineEdit(form.get());
        other->setObjectName(QStringLiteral("edtOther"));
        other->move(10, 100);
        other->show();
        return other;
    }
    QLineEdit *edit() const { return form->findChild<QLineEdit *>(QStringLiteral("FEdit")); }
    QAbstractButton *button() const { return form->findChild<QAbstractButton *>(QStringLiteral("FButton")); }
};

// Shows the window and waits until it is the active window.
void showActive(QWidget *window);

} // namespace dravik::test
