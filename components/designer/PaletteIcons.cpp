#include "PaletteIcons.h"

#include <QPainter>
#include <QPixmap>

namespace dravik {

namespace {

constexpr int kSide = 24;

// An edit box across the picture with the "..." button at its right end.
void drawEditWithButton(QPainter &p, int top)
{
    p.fillRect(1, top, 22, 10, Qt::white);
    p.setPen(QColor(64, 64, 64));
    p.drawRect(1, top, 21, 9);
    p.fillRect(14, top + 1, 8, 8, QColor(212, 208, 200));
    p.setPen(Qt::black);
    for (int x : {15, 17, 19})
        p.drawPoint(x, top + 6);
    p.setPen(QColor(0, 0, 128));
    p.drawLine(4, top + 3, 4, top + 6);
}

} // namespace

QIcon paletteIconTEDITBUTTON()
{
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    drawEditWithButton(p, 7);
    return QIcon(pixmap);
}

QIcon paletteIconTWWDBEDITBUTTON()
{
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    drawEditWithButton(p, 2);
    // A small table below the edit: the field it is bound to.
    p.setPen(QColor(0, 96, 0));
    p.drawRect(3, 14, 17, 8);
    p.drawLine(3, 18, 20, 18);
    p.drawLine(9, 14, 9, 22);
    p.drawLine(15, 14, 15, 22);
    return QIcon(pixmap);
}

} // namespace dravik
