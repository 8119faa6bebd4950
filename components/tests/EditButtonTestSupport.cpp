#include "EditButtonTestSupport.h"

#include <QApplication>
#include <QTest>

namespace dravik::test {

void showActive(QWidget *window)
{
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        qWarning("window did not become active");
}

template <class Control>
FormWith<Control>::FormWith() : form(std::make_unique<QWidget>())
{
    form->resize(300, 200);
    control = new Control(form.get());
    control->setObjectName(QStringLiteral("ebValue"));
    control->move(10, 10);
    showActive(form.get());
}

template struct FormWith<TEditButton>;
template struct FormWith<TwwDBEditButton>;

} // namespace dravik::test
