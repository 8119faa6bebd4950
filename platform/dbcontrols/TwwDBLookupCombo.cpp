#include "dbcontrols/TwwDBLookupCombo.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace dbcontrols {

TwwDBLookupCombo::TwwDBLookupCombo(QWidget *parent) : TwwDBCustomCombo(parent)
{
    setEditable(true);
    // A looked-up value comes from the list; typing does not add to it.
    setInsertPolicy(QComboBox::NoInsert);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] {
        if (FAutoDropDown && !GetReadOnly())
            showPopup();
    });
}

void TwwDBLookupCombo::SetShowButton(bool value)
{
    if (FShowButton == value)
        return;
    FShowButton = value;
    update();
}

void TwwDBLookupCombo::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    if (!FShowButton)
        option.subControls &= ~QStyle::SC_ComboBoxArrow;
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void TwwDBLookupCombo::mousePressEvent(QMouseEvent *event)
{
    if (!FShowButton) {
        QStyleOptionComboBox option;
        initStyleOption(&option);
        const QRect arrow = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this);
        if (arrow.contains(event->position().toPoint())) {
            event->ignore();
            return;
        }
    }
    TwwDBCustomCombo::mousePressEvent(event);
}

} // namespace dbcontrols
