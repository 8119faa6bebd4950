#include "dravik/SpeedButton.h"

#include <QPainter>

namespace dravik {

namespace {

// The glyph's opaque pixels in one colour, the rest transparent.
QImage glyphInColour(const QImage &glyph, const QColor &colour)
{
    QImage result(glyph.size(), QImage::Format_ARGB32);
    result.fill(Qt::transparent);
    const QRgb transparent = glyph.pixel(0, glyph.height() - 1);
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x)
            if (glyph.pixel(x, y) != transparent)
                result.setPixel(x, y, colour.rgba());
    return result;
}

// The glyph with its transparent colour made transparent.
QImage glyphWithMask(const QImage &glyph)
{
    QImage result = glyph.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = glyph.pixel(0, glyph.height() - 1);
    for (int y = 0; y < result.height(); ++y)
        for (int x = 0; x < result.width(); ++x)
            if (glyph.pixel(x, y) == transparent)
                result.setPixel(x, y, qRgba(0, 0, 0, 0));
    return result;
}

} // namespace

TSpeedButton::TSpeedButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TSpeedButton::SetGlyph(const QImage &glyph)
{
    FGlyph = glyph;
    update();
}

QSize TSpeedButton::sizeHint() const
{
    return QSize(23, 22);
}

void TSpeedButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette &pal = palette();
    const int w = width();
    const int h = height();
    const bool down = isDown() || isChecked();

    painter.fillRect(rect(), pal.color(QPalette::Button));
    const QColor light = pal.color(QPalette::Light);
    const QColor shadow = pal.color(QPalette::Dark);
    if (down) {
        painter.fillRect(0, 0, w, 1, shadow);
        painter.fillRect(0, 0, 1, h, shadow);
        painter.fillRect(0, h - 1, w, 1, light);
        painter.fillRect(w - 1, 0, 1, h, light);
    } else {
        painter.fillRect(0, 0, w - 1, 1, light);
        painter.fillRect(0, 0, 1, h - 1, light);
        painter.fillRect(1, h - 2, w - 2, 1, shadow);
        painter.fillRect(w - 2, 1, 1, h - 2, shadow);
        painter.fillRect(0, h - 1, w, 1, Qt::black);
        painter.fillRect(w - 1, 0, 1, h, Qt::black);
    }

    if (FGlyph.isNull())
        return;
    QPoint origin((w - FGlyph.width()) / 2, (h - FGlyph.height()) / 2);
    if (down)
        origin += QPoint(1, 1);
    if (isEnabled()) {
        painter.drawImage(origin, glyphWithMask(FGlyph));
    } else {
        painter.drawImage(origin + QPoint(1, 1), glyphInColour(FGlyph, light));
        painter.drawImage(origin, glyphInColour(FGlyph, shadow));
    }
}

} // namespace dravik
