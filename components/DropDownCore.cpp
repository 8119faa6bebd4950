#include "dravik/DropDownEditT.h"

#include <QValidator>
#include <QtGlobal>

namespace dravik {

namespace {

// Converts typed and assigned text to one letter case.
class TCharCaseValidator : public QValidator {
public:
    TCharCaseValidator(TEditCharCase charCase, QObject *parent) : QValidator(parent), FCharCase(charCase) {}

    State validate(QString &input, int &) const override
    {
        input = FCharCase == ecUpperCase ? input.toUpper() : input.toLower();
        return Acceptable;
    }

private:
    TEditCharCase FCharCase;
};

} // namespace

void ReportHandlerFailure(const char *message)
{
    qWarning("Event handler failed: %s", message);
}

TDropDownCore::~TDropDownCore() = default;

void TDropDownCore::SetCharCase(TEditCharCase value)
{
    QLineEdit *edit = LineEdit();
    FCharCase = value;
    // Only a letter-case validator of our own is replaced; another one (a
    // mask, say) stays in place.
    const auto *old = dynamic_cast<const TCharCaseValidator *>(edit->validator());
    if (old != nullptr || edit->validator() == nullptr) {
        edit->setValidator(value == ecNormal ? nullptr : new TCharCaseValidator(value, edit));
        delete old;
    }
    if (value != ecNormal) {
        const int cursor = edit->cursorPosition();
        edit->setText(value == ecUpperCase ? edit->text().toUpper() : edit->text().toLower());
        edit->setCursorPosition(cursor);
    }
}

void TDropDownCore::SetPasswordChar(QChar value)
{
    FPasswordChar = value;
    LineEdit()->setEchoMode(value.isNull() ? QLineEdit::Normal : QLineEdit::Password);
}

bool TDropDownCore::IsDropDownKey(const QKeyEvent *event)
{
    const auto modifiers = event->modifiers();
    return event->key() == Qt::Key_Down && (modifiers & Qt::AltModifier) &&
           !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier));
}

bool TDropDownCore::HandleSysKeyDown(QKeyEvent *event)
{
    if (!IsDropDownKey(event))
        return false;
    // The key is consumed even when the drop-down is not allowed, so the
    // edit never sees Alt+Down.
    event->accept();
    if (DropDownHandler && DropDownAllowed)
        CallHandler(DropDownHandler, LineEdit());
    return true;
}

} // namespace dravik
