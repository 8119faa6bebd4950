// Pictures of the registration program's copy: check-box glyphs and
// pictures drawn with a transparent background.
#include "utils/Utils.h"

#ifdef GV_UTILS_REGISTRATION_COPY

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionButton>

#include <vector>

namespace {

constexpr int sheetColumns = 4;
constexpr int sheetRows = 3;

// The style's check-box and radio-button indicators as one sheet of 4 x 3
// cells: row 0 check boxes (off, on, pressed off, pressed on), row 1 radio
// buttons in the same order, row 2 check boxes (partial, disabled off,
// disabled partial, disabled on).
QImage checkBoxSheet()
{
    QStyle *style = QApplication::style();
    const int w = style->pixelMetric(QStyle::PM_IndicatorWidth);
    const int h = style->pixelMetric(QStyle::PM_IndicatorHeight);
    QImage sheet(w * sheetColumns, h * sheetRows, QImage::Format_ARGB32);
    sheet.fill(QApplication::palette().color(QPalette::Button));
    QPainter painter(&sheet);
    const QStyle::State base = QStyle::State_Enabled;
    const struct {
        QStyle::PrimitiveElement element;
        QStyle::State state;
    } cells[sheetRows][sheetColumns] = {
        {{QStyle::PE_IndicatorCheckBox, base | QStyle::State_Off},
         {QStyle::PE_IndicatorCheckBox, base | QStyle::State_On},
         {QStyle::PE_IndicatorCheckBox, base | QStyle::State_Off | QStyle::State_Sunken},
         {QStyle::PE_IndicatorCheckBox, base | QStyle::State_On | QStyle::State_Sunken}},
        {{QStyle::PE_IndicatorRadioButton, base | QStyle::State_Off},
         {QStyle::PE_IndicatorRadioButton, base | QStyle::State_On},
         {QStyle::PE_IndicatorRadioButton, base | QStyle::State_Off | QStyle::State_Sunken},
         {QStyle::PE_IndicatorRadioButton, base | QStyle::State_On | QStyle::State_Sunken}},
        {{QStyle::PE_IndicatorCheckBox, base | QStyle::State_NoChange},
         {QStyle::PE_IndicatorCheckBox, QStyle::State_Off},
         {QStyle::PE_IndicatorCheckBox, QStyle::State_NoChange},
         {QStyle::PE_IndicatorCheckBox, QStyle::State_On}},
    };
    for (int row = 0; row < sheetRows; ++row) {
        for (int column = 0; column < sheetColumns; ++column) {
            QStyleOptionButton option;
            option.rect = QRect(column * w, row * h, w, h);
            option.state = cells[row][column].state;
            option.palette = QApplication::palette();
            style->drawPrimitive(cells[row][column].element, &option, &painter);
        }
    }
    return sheet;
}

// Replaces the area of one colour that contains `start` (4-connected).
void floodFill(QImage &image, QPoint start, QRgb from, QRgb to)
{
    if (from == to || !image.rect().contains(start) || image.pixel(start) != from)
        return;
    std::vector<QPoint> pending{start};
    while (!pending.empty()) {
        const QPoint p = pending.back();
        pending.pop_back();
        if (!image.rect().contains(p) || image.pixel(p) != from)
            continue;
        image.setPixel(p, to);
        pending.insert(pending.end(), {p + QPoint(1, 0), p - QPoint(1, 0), p + QPoint(0, 1), p - QPoint(0, 1)});
    }
}

// The source stretched to the target's size, its bottom-left colour replaced
// by the background.
QImage transparentWork(const QPixmap &source, const QSize &size, const QColor &background)
{
    QImage work = source.toImage()
                      .convertToFormat(QImage::Format_ARGB32)
                      .scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    const QRgb transparent = work.pixel(0, work.height() - 1);
    const QRgb replacement = background.rgba();
    for (int y = 0; y < work.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(work.scanLine(y));
        for (int x = 0; x < work.width(); ++x)
            if (line[x] == transparent)
                line[x] = replacement;
    }
    return work;
}

} // namespace

void TclsUtils::MakeCheckGlyphs(QPixmap &marked, QPixmap &unmarked, bool alternative, int kind)
{
    QImage sheet = checkBoxSheet();
    const int w = sheet.width() / sheetColumns;
    const int h = sheet.height() / sheetRows;
    // Cells (column, row) of the unmarked and the marked glyph.
    QPoint off(0, 0);
    QPoint on(1, 0);
    if (kind == 1) {
        off = alternative ? QPoint(2, 1) : QPoint(0, 1);
        on = alternative ? QPoint(3, 1) : QPoint(1, 1);
    } else if (alternative) {
        off = QPoint(1, 2);
        on = QPoint(3, 2);
    }

    unmarked = QPixmap::fromImage(sheet.copy(off.x() * w, off.y() * h, w, h));
    const QPoint bottomLeft(on.x() * w, on.y() * h + h - 1);
    const QPoint topRight(on.x() * w + w - 1, on.y() * h);
    const QRgb surface = sheet.pixel(bottomLeft);
    const QRgb highlight = QApplication::palette().color(QPalette::Highlight).rgba();
    floodFill(sheet, bottomLeft, surface, highlight);
    floodFill(sheet, topRight, surface, highlight);
    marked = QPixmap::fromImage(sheet.copy(on.x() * w, on.y() * h, w, h));
}

void TclsUtils::DrawTransparent(QPainter &canvas, const QRect &target, const QColor &background, const QObject *picture,
                                const QRect &clip)
{
    const auto *image = qobject_cast<const QLabel *>(picture);
    if (image == nullptr)
        return;
    const QPixmap source = image->pixmap();
    if (!source.isNull())
        DrawTransparent(canvas, target, background, source, clip);
}

void TclsUtils::DrawTransparent(QPainter &canvas, const QRect &target, const QColor &background, const QPixmap &picture,
                                const QRect &clip)
{
    if (picture.isNull() || target.isEmpty())
        return;
    const QImage work = transparentWork(picture, target.size(), background);
    // A target that reaches outside the clip shows only its part inside it,
    // taken from the same place of the stretched picture.
    const QRect shown = clip.contains(target) ? target : target.intersected(clip);
    if (shown.isEmpty())
        return;
    canvas.drawImage(shown.topLeft(), work, shown.translated(-target.topLeft()));
}

#endif
