#include "FormTexts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

namespace gvtest {

namespace {

// The text as a button shows it: "&x" underlines x, "&&" is one "&".
QString shownMnemonicText(const QString &text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        shown += text.at(i);
    }
    return shown;
}

std::string entry(const QWidget *widget, const QString &text, const QString &why)
{
    return (widget->objectName() + QStringLiteral(" \"") + text + QStringLiteral("\": ") + why).toStdString();
}

// The room of the text of a button, as the style lays the button out.
QRect buttonTextRoom(const QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle *style = button->style();
    if (qobject_cast<const QRadioButton *>(button))
        return style->subElementRect(QStyle::SE_RadioButtonContents, &option, button);
    if (qobject_cast<const QCheckBox *>(button))
        return style->subElementRect(QStyle::SE_CheckBoxContents, &option, button);
    const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, &option, button);
    return style->subElementRect(QStyle::SE_PushButtonContents, &option, button)
        .adjusted(margin / 2, 0, -margin / 2, 0);
}

void checkButton(const QAbstractButton *button, std::vector<std::string> &clipped)
{
    const QString text = shownMnemonicText(button->text());
    if (text.isEmpty())
        return;
    const QFontMetrics metrics(button->font());
    const QRect room = buttonTextRoom(button);
    if (metrics.horizontalAdvance(text) > room.width())
        clipped.push_back(entry(
            button, text, QStringLiteral("%1 wide in %2").arg(metrics.horizontalAdvance(text)).arg(room.width())));
    if (metrics.height() > room.height())
        clipped.push_back(
            entry(button, text, QStringLiteral("%1 high in %2").arg(metrics.height()).arg(room.height())));
}

void checkLabel(const QLabel *label, std::vector<std::string> &clipped)
{
    const QString text = label->text();
    if (text.isEmpty() || label->textFormat() == Qt::RichText)
        return;
    const QFontMetrics metrics(label->font());
    const QRect room =
        label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
    const int flags = label->wordWrap() ? Qt::TextWordWrap : 0;
    const QRect needed = metrics.boundingRect(QRect(0, 0, room.width(), 100000), flags, text);
    if (needed.width() > room.width() || needed.height() > room.height())
        clipped.push_back(entry(label, text,
                                QStringLiteral("needs %1 x %2 in %3 x %4")
                                    .arg(needed.width())
                                    .arg(needed.height())
                                    .arg(room.width())
                                    .arg(room.height())));
}

void checkGroupBox(const QGroupBox *box, std::vector<std::string> &clipped)
{
    const QString text = shownMnemonicText(box->title());
    if (text.isEmpty())
        return;
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    const int advance = QFontMetrics(box->font()).horizontalAdvance(text);
    if (label.left() + advance > box->width())
        clipped.push_back(
            entry(box, text, QStringLiteral("ends at %1 of %2").arg(label.left() + advance).arg(box->width())));
}

// Lines of a document as laid out, and their height.
int laidOutHeight(const QTextDocument *document, const QFontMetrics &metrics)
{
    int lines = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        lines += block.layout() != nullptr ? std::max(1, block.layout()->lineCount()) : 1;
    return lines * metrics.lineSpacing();
}

void checkMemo(const QAbstractScrollArea *memo, const QTextDocument *document, std::vector<std::string> &clipped)
{
    // A memo that scrolls shows every line on the way.
    if (memo->verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
        return;
    const QFontMetrics metrics(memo->font());
    const int height = laidOutHeight(document, metrics) + 2 * static_cast<int>(document->documentMargin());
    if (height > memo->viewport()->height())
        clipped.push_back(entry(memo, document->toPlainText().left(40) + QStringLiteral("..."),
                                QStringLiteral("%1 high in %2").arg(height).arg(memo->viewport()->height())));
}

} // namespace

std::vector<std::string> ClippedTexts(QWidget *form)
{
    std::vector<std::string> clipped;
    QList<QWidget *> widgets = form->findChildren<QWidget *>();
    widgets.prepend(form);
    for (const QWidget *widget : widgets) {
        if (!widget->isVisibleTo(form) && widget != form)
            continue;
        if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            checkButton(button, clipped);
        else if (const auto *label = qobject_cast<const QLabel *>(widget))
            checkLabel(label, clipped);
        else if (const auto *box = qobject_cast<const QGroupBox *>(widget))
            checkGroupBox(box, clipped);
        else if (const auto *plain = qobject_cast<const QPlainTextEdit *>(widget))
            checkMemo(plain, plain->document(), clipped);
        else if (const auto *rich = qobject_cast<const QTextEdit *>(widget))
            checkMemo(rich, rich->document(), clipped);
    }
    return clipped;
}

} // namespace gvtest
