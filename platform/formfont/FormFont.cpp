#include "formfont/FormFont.h"

#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace formfont {

namespace {

int scaledEdge(int edge, double ratio)
{
    return static_cast<int>(std::lround(edge * ratio));
}

// Panels and group boxes hold controls the form placed itself; any other
// widget lays its own parts out.
bool holdsFormControls(const QWidget *widget)
{
    const QMetaObject *meta = widget->metaObject();
    return meta == &QWidget::staticMetaObject || meta == &QFrame::staticMetaObject ||
           meta == &QGroupBox::staticMetaObject;
}

void scaleChildren(QWidget *parent, const QSizeF &scale)
{
    for (QObject *object : parent->children()) {
        auto *child = qobject_cast<QWidget *>(object);
        if (child == nullptr || child->isWindow())
            continue;
        child->setGeometry(Scaled(child->geometry(), scale));
        if (holdsFormControls(child))
            scaleChildren(child, scale);
    }
}

int scaledLimit(int limit, double ratio)
{
    return limit >= QWIDGETSIZE_MAX ? limit : scaledEdge(limit, ratio);
}

} // namespace

void RegisterSubstitutes()
{
    static const bool registered = [] {
        QFont::insertSubstitutions(
            QString::fromLatin1(DialogFamily),
            {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial")});
        return true;
    }();
    (void)registered;
}

QFont DialogFont(int pointSize)
{
    RegisterSubstitutes();
    QFont font(QString::fromLatin1(DialogFamily));
    font.setPointSize(pointSize);
    return font;
}

QSizeF FontScale(const QFont &font)
{
    const QFontMetricsF metrics(font);
    const double letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    return {std::max(1.0, letters / DesignCharWidth), std::max(1.0, metrics.height() / DesignLineHeight)};
}

int ScaledX(int x, const QSizeF &scale)
{
    return scaledEdge(x, scale.width());
}

int ScaledY(int y, const QSizeF &scale)
{
    return scaledEdge(y, scale.height());
}

QRect Scaled(const QRect &rect, const QSizeF &scale)
{
    const int left = ScaledX(rect.x(), scale);
    const int top = ScaledY(rect.y(), scale);
    return QRect(left, top, ScaledX(rect.x() + rect.width(), scale) - left,
                 ScaledY(rect.y() + rect.height(), scale) - top);
}

QSizeF ScaleForm(QWidget *form)
{
    const QSizeF scale = FontScale(form->font());
    if (scale == QSizeF(1, 1))
        return scale;
    const QSize minimum = form->minimumSize();
    const QSize maximum = form->maximumSize();
    const QSize size = form->size();
    // The scale is at least 1: raising the maximum first keeps the limits in order.
    form->setMaximumSize(scaledLimit(maximum.width(), scale.width()), scaledLimit(maximum.height(), scale.height()));
    form->setMinimumSize(scaledLimit(minimum.width(), scale.width()), scaledLimit(minimum.height(), scale.height()));
    form->resize(ScaledX(size.width(), scale), ScaledY(size.height(), scale));
    scaleChildren(form, scale);
    return scale;
}

} // namespace formfont
