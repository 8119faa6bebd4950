#include "utils/Utils.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

class OldSystemUtils : public TclsUtils {
public:
    bool IsOldWindows() override { return old; }
    bool old = false;
};

QPushButton *addButton(QWidget *parent, int x, int y, int w = 75, int h = 25)
{
    auto *button = new QPushButton(parent);
    button->setGeometry(x, y, w, h);
    return button;
}

TEST(ArrangeButtons, SizesByPixelsPerInchAndKeepsTheLayout)
{
    const struct {
        const char *name;
        int ppi;
        bool column;
        QSize size;
    } cases[] = {
        {"row at 96", 96, false, {53, 22}},
        {"row at 120", 120, false, {88, 28}},
        {"column at 96", 96, true, {53, 22}},
        {"column at 120", 120, true, {88, 28}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        OldSystemUtils utils;
        QWidget form;
        form.setProperty("PixelsPerInch", c.ppi);
        QWidget container(&form);
        container.resize(100, 60);
        QPushButton *a = addButton(&container, 8, 6);
        QPushButton *b = c.column ? addButton(&container, 8, 37) : addButton(&container, 89, 6);
        QPushButton *d = addButton(&container, 0, 200);
        utils.ArrangeButtons(&form, &container);
        for (auto *button : {a, b, d})
            EXPECT_EQ(button->size(), c.size);
        EXPECT_EQ(a->pos(), QPoint(8, 6));
        if (c.column) {
            // Gap 6 between the first two buttons, margin 100 - 83 on the right.
            EXPECT_EQ(b->pos(), QPoint(8, 6 + c.size.height() + 6));
            EXPECT_EQ(d->pos(), QPoint(8, 6 + 2 * (c.size.height() + 6)));
            EXPECT_EQ(container.width(), std::max(100, 17 + 8 + c.size.width()));
        } else {
            EXPECT_EQ(b->pos(), QPoint(8 + c.size.width() + 6, 6));
            EXPECT_EQ(d->pos(), QPoint(8 + 2 * (c.size.width() + 6), 6));
            EXPECT_EQ(container.width(), 8 + 8 + 3 * c.size.width() + 2 * 6);
        }
        EXPECT_FALSE(a->font().bold());
    }
}

TEST(ArrangeButtons, WithoutAnAlignedPairMakesARowWithTenPixelGaps)
{
    OldSystemUtils utils;
    utils.old = true;
    QWidget form;
    form.setProperty("PixelsPerInch", 96);
    QWidget container(&form);
    container.resize(50, 20);
    QPushButton *a = addButton(&container, 5, 5);
    QPushButton *b = addButton(&container, 40, 30);
    auto *bitmap = new QPushButton(QIcon(QPixmap(4, 4)), QString(), &container);
    bitmap->setGeometry(1, 1, 30, 30);
    utils.ArrangeButtons(&form, &container);
    EXPECT_EQ(b->pos(), QPoint(5 + 53 + 10, 5));
    EXPECT_TRUE(a->font().bold());
    EXPECT_EQ(bitmap->geometry(), QRect(1, 1, 30, 30));
    // The container grows to hold the row, never shrinks.
    EXPECT_EQ(container.width(), 10 + 68 + 53);
    EXPECT_EQ(container.height(), 10 + 5 + 22);
}

#ifdef GV_UTILS_UPDATER_COPY
TEST(ScaleButtonsLargeFonts, PanelGrowsToTheLeftAndKeepsGaps)
{
    TclsUtils utils;
    QWidget form;
    QFrame panel(&form);
    panel.setGeometry(300, 100, 170, 39);
    QPushButton *left = addButton(&panel, 7, 7);
    QPushButton *right = addButton(&panel, 87, 7);
    utils.ScaleButtonsLargeFonts(&panel);
    EXPECT_EQ(left->geometry(), QRect(0, 9, 94, 31));
    EXPECT_EQ(right->geometry(), QRect(99, 9, 94, 31));
    EXPECT_EQ(panel.geometry(), QRect(300 - 31, 100, 201, 49));
}
#endif

TEST(KeepOnScreen, PullsWindowsBackOntoTheScreen)
{
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const int w = screen.width();
    const int h = screen.height();
    const struct {
        const char *name;
        QPoint from, to;
    } cases[] = {
        {"beyond the right edge", {w + 5, 100}, {w - 200, 100}},
        {"ten pixels from the right edge", {w - 10, 100}, {w - 50, 100}},
        {"wholly left of the screen", {-500, 100}, {0, 100}},
        {"less than 80 pixels showing", {-150, 100}, {80 - 200, 100}},
        {"below the bottom", {10, h + 1}, {10, h - 120}},
        {"near the bottom", {10, h - 20}, {10, h - 50}},
        {"above the top", {10, -30}, {10, 0}},
        {"well inside", {100, 100}, {100, 100}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TclsUtils utils;
        QWidget parent;
        QWidget control(&parent);
        control.setGeometry(QRect(c.from, QSize(200, 120)));
        utils.KeepOnScreen(&control);
        EXPECT_EQ(control.pos(), c.to);
    }
}

TEST(FitText, CutsWithAnEllipsis)
{
    TclsUtils utils;
    const QFontMetrics metrics(QApplication::font());
    const QString text = QStringLiteral("Gearvane service log");
    EXPECT_EQ(utils.FitText(text, metrics, metrics.horizontalAdvance(text + " ")), text);
    EXPECT_EQ(utils.FitText(text, metrics, 1), QStringLiteral("..."));
    const int width = metrics.horizontalAdvance(QStringLiteral("Gearvane... "));
    const QString fitted = utils.FitText(text, metrics, width);
    EXPECT_EQ(fitted, QStringLiteral("Gearvane..."));
}

TEST(StretchLastColumn, FillsTheGrid)
{
    TclsUtils utils;
    QTableWidget grid(2, 3);
    grid.resize(400, 200);
    grid.show();
    for (int c = 0; c < 3; ++c)
        grid.setColumnWidth(c, 50);
    utils.StretchLastColumn(&grid);
    EXPECT_EQ(grid.columnWidth(0) + grid.columnWidth(1) + grid.columnWidth(2), grid.viewport()->width());
    EXPECT_EQ(grid.columnWidth(0), 50);

    grid.setColumnWidth(2, 500);
    utils.StretchLastColumn(&grid);
    EXPECT_EQ(grid.columnWidth(2), 500);
}

TEST(MakeChildren, ReadOnlyAndBackReachNestedControls)
{
    TclsUtils utils;
    QWidget form;
    auto *label = new QLabel("Name", &form);
    auto *panel = new QFrame(&form);
    auto *inner = new QFrame(panel);
    auto *edit = new QLineEdit(inner);
    auto *group = new QGroupBox(&form);
    auto *combo = new QComboBox(group);
    auto *tabs = new QTabWidget(&form);
    auto *page = new QWidget;
    tabs->addTab(page, "Page");
    auto *check = new QCheckBox(page);
    auto *button = new QPushButton(&form);
    auto *stack = new QStackedWidget(&form);
    auto *stacked = new QLineEdit;
    stack->addWidget(stacked);

    utils.MakeChildrenReadOnly(&form);
    EXPECT_TRUE(label->isEnabled());
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_FALSE(edit->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(edit->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Button));
    EXPECT_FALSE(combo->isEnabled());
    EXPECT_FALSE(check->isEnabled());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(tabs->isEnabled());
    // Notebooks are entered only on the way back.
    EXPECT_FALSE(stacked->isReadOnly());

    stacked->setReadOnly(true);
    utils.MakeChildrenEditable(&form);
    EXPECT_FALSE(edit->isReadOnly());
    EXPECT_TRUE(edit->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(edit->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_TRUE(check->isEnabled());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_FALSE(stacked->isReadOnly());
}

TEST(FlattenFrames, MovesLabelsBelowTheirControlsAndFlattensGroups)
{
    TclsUtils utils;
    QWidget form;
    auto *label = new QLabel("Vehicle", &form);
    label->setGeometry(10, 10, 60, 15);
    auto *edit = new QLineEdit(&form);
    edit->setGeometry(10, 30, 100, 20);
    label->setBuddy(edit);
    auto *lonely = new QLabel("Note", &form);
    lonely->setGeometry(10, 80, 60, 15);
    auto *group = new QGroupBox(&form);
    auto *tabs = new QTabWidget(&form);
    tabs->tabBar()->setExpanding(true);

    utils.FlattenFrames(&form);
    EXPECT_EQ(edit->y(), 10);
    EXPECT_EQ(label->y(), 30);
    EXPECT_EQ(lonely->y(), 80);
    EXPECT_TRUE(group->isFlat());
    EXPECT_FALSE(tabs->tabBar()->expanding());

    utils.SetFrameStyle(group, true);
    EXPECT_FALSE(group->isFlat());
#ifdef GV_UTILS_UPDATER_COPY
    utils.FClassicLook = true;
    utils.SetFrameStyle(group, false);
    EXPECT_FALSE(group->isFlat());
#endif
}

#ifdef GV_UTILS_REGISTRATION_COPY
// A 2 x 2 picture: blue, yellow over red (the corner that turns transparent), yellow.
QPixmap cornerPicture()
{
    QImage image(2, 2, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgb(0, 0, 255));
    image.setPixel(1, 0, qRgb(255, 255, 0));
    image.setPixel(0, 1, qRgb(255, 0, 0));
    image.setPixel(1, 1, qRgb(255, 255, 0));
    return QPixmap::fromImage(image);
}

QImage drawn(const std::function<void(QPainter &)> &draw)
{
    QImage canvas(12, 12, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    draw(painter);
    painter.end();
    return canvas;
}

TEST(DrawTransparent, StretchesAndReplacesTheCornerColour)
{
    TclsUtils utils;
    const QRect target(2, 2, 8, 8);
    const QColor green(0, 255, 0);
    const QImage whole =
        drawn([&](QPainter &p) { utils.DrawTransparent(p, target, green, cornerPicture(), QRect(0, 0, 12, 12)); });
    EXPECT_EQ(whole.pixel(3, 3), qRgb(0, 0, 255));
    EXPECT_EQ(whole.pixel(8, 3), qRgb(255, 255, 0));
    EXPECT_EQ(whole.pixel(3, 8), green.rgb());
    EXPECT_EQ(whole.pixel(1, 1), qRgb(255, 255, 255));

    // Clipped to the target's right half: the picture's right half shows there.
    const QImage clipped =
        drawn([&](QPainter &p) { utils.DrawTransparent(p, target, green, cornerPicture(), QRect(6, 0, 6, 12)); });
    EXPECT_EQ(clipped.pixel(3, 3), qRgb(255, 255, 255));
    EXPECT_EQ(clipped.pixel(7, 3), qRgb(255, 255, 0));
    EXPECT_EQ(clipped.pixel(7, 8), qRgb(255, 255, 0));

    QLabel image;
    image.setPixmap(cornerPicture());
    const QImage fromControl =
        drawn([&](QPainter &p) { utils.DrawTransparent(p, target, green, &image, QRect(0, 0, 12, 12)); });
    EXPECT_EQ(fromControl, whole);
    QObject other;
    const QImage nothing =
        drawn([&](QPainter &p) { utils.DrawTransparent(p, target, green, &other, QRect(0, 0, 12, 12)); });
    EXPECT_EQ(nothing.pixel(3, 3), qRgb(255, 255, 255));
}

TEST(MakeCheckGlyphs, CellsOfTheSheetWithAHighlightedSurface)
{
    TclsUtils utils;
    const QRgb highlight = QApplication::palette().color(QPalette::Highlight).rgba();
    for (int kind : {0, 1}) {
        for (bool alternative : {false, true}) {
            SCOPED_TRACE(std::to_string(kind) + (alternative ? " alternative" : ""));
            QPixmap marked, unmarked;
            utils.MakeCheckGlyphs(marked, unmarked, alternative, kind);
            ASSERT_FALSE(marked.isNull());
            EXPECT_EQ(marked.size(), unmarked.size());
            const QImage image = marked.toImage().convertToFormat(QImage::Format_ARGB32);
            EXPECT_EQ(image.pixel(0, image.height() - 1), highlight);
            EXPECT_NE(image, unmarked.toImage().convertToFormat(QImage::Format_ARGB32));
        }
    }
}
#endif

} // namespace
