#include "EditButtonTestSupport.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QMainWindow>
#include <QStackedWidget>
#include <QTabWidget>

#include <functional>
#include <memory>
#include <vector>

using namespace dravikt;
using namespace dbcontrols;

namespace {

const QColor kFace(190, 180, 170);
const QColor kShadow(100, 90, 80);
const QColor kHighlight(250, 245, 240);
const QColor kEditColour(10, 200, 30);
const QColor kParentColour(30, 60, 220);

// A form with a control on a parent of the given kind; the control's
// button-face, shadow and highlight colours are set apart from the parent's.
struct PaintSetup {
    std::unique_ptr<QWidget> form = std::make_unique<QWidget>();
    TCustomEditButton *control = nullptr;

    template <class Control = TEditButton>
    void build(QWidget *parent)
    {
        QPalette parentPalette = parent->palette();
        parentPalette.setColor(QPalette::Window, kParentColour);
        parent->setPalette(parentPalette);
        control = new Control(parent);
        QPalette pal = control->palette();
        pal.setColor(QPalette::Button, kFace);
        pal.setColor(QPalette::Dark, kShadow);
        pal.setColor(QPalette::Light, kHighlight);
        control->setPalette(pal);
        control->SetColor(kEditColour);
        form->resize(300, 200);
        form->show();
    }

    QImage image() const { return control->grab().toImage(); }
};

// A parent that lends the control no colour: the page of a tab widget.
QWidget *tabPage(QWidget *form)
{
    auto *tabs = new QTabWidget(form);
    tabs->resize(300, 200);
    auto *page = new QWidget;
    tabs->addTab(page, QStringLiteral("Page"));
    return page;
}

struct ParentCase {
    const char *name;
    std::function<QWidget *(QWidget *form)> makeParent;
    bool takesParentColour;
};

TEST(EditButtonPaintTest, BackgroundDependsOnTheKindOfParent)
{
    const ParentCase cases[] = {
        {"Form", [](QWidget *form) { return form; }, true},
        {"Panel", [](QWidget *form) { return new QFrame(form); }, true},
        {"GroupBox", [](QWidget *form) { return new QGroupBox(form); }, true},
        {"Notebook",
         [](QWidget *form) {
             auto *book = new QStackedWidget(form);
             book->resize(200, 100);
             return book;
         },
         true},
        {"TabPage",
         [](QWidget *form) {
             auto *tabs = new QTabWidget(form);
             auto *page = new QWidget;
             tabs->addTab(page, QStringLiteral("Page"));
             return page;
         },
         false},
        {"PlainWidgetPanel", [](QWidget *form) { return new QWidget(form); }, true},
        {"MainWindowCentralWidget",
         [](QWidget *form) {
             auto *window = new QMainWindow(form);
             auto *central = new QWidget;
             window->setCentralWidget(central);
             return central;
         },
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PaintSetup s;
        QWidget *parent = c.makeParent(s.form.get());
        parent->setAutoFillBackground(true);
        s.build(parent);
        const QImage image = s.image();
        // Right of the button, inside the sunken edge, nothing else paints.
        EXPECT_EQ(image.pixelColor(81, 12), c.takesParentColour ? kParentColour : kFace);
    }
}

TEST(EditButtonPaintTest, SunkenEdgeWithoutFrame)
{
    PaintSetup s;
    s.build(tabPage(s.form.get()));
    const QImage image = s.image();
    const int w = 83, h = 25;
    struct Pixel {
        int x, y;
        QColor colour;
    };
    const std::vector<Pixel> expected = {
        {0, 0, kShadow},          {w - 2, 0, kShadow},     {0, h - 2, kShadow},
        {w - 1, 0, kHighlight},   {w - 1, h - 1, kHighlight}, {0, h - 1, kHighlight},
        {w - 2, h - 1, kHighlight}, {1, 1, Qt::black},     {w - 3, 1, Qt::black},
        {1, h - 3, Qt::black},    {w - 2, 1, kFace},       {1, h - 2, kFace},
        {w - 2, h - 2, kFace},
    };
    for (const auto &p : expected)
        EXPECT_EQ(image.pixelColor(p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST(EditButtonPaintTest, GapAboveAndLeftOfTheEditTakesTheEditColour)
{
    for (bool buttonVisible : {true, false}) {
        SCOPED_TRACE(buttonVisible);
        PaintSetup s;
        s.build(tabPage(s.form.get()));
        s.control->SetButtonVisible(buttonVisible);
        const int editWidth = buttonVisible ? 57 : 78;
        const QImage image = s.image();
        EXPECT_EQ(image.pixelColor(2, 2), kEditColour);
        EXPECT_EQ(image.pixelColor(editWidth + 2, 2), kEditColour);
        EXPECT_EQ(image.pixelColor(2, 22), kEditColour);
        EXPECT_EQ(image.pixelColor(2, 23), kFace);
        if (!buttonVisible) {
            EXPECT_EQ(image.pixelColor(editWidth + 3, 2), kFace);
            EXPECT_EQ(image.pixelColor(70, 12), kEditColour) << "the edit fills the button's place";
        }
    }
}

struct BorderCase {
    const char *name;
    TwwEditFrameEnabledSet borders;
};

TEST(EditButtonPaintTest, FrameDrawsTheNonFocusBordersInBlack)
{
    const BorderCase cases[] = {
        {"None", 0},       {"Left", 1},         {"Top", 2},          {"Right", 4},
        {"Bottom", 8},     {"TopLeft", 3},      {"TopRight", 6},     {"BottomLeftRight", 13},
        {"All", 15},
    };
    const int w = 83, h = 25;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PaintSetup s;
        s.build(tabPage(s.form.get()));
        s.control->GetFrame()->SetEnabled(true);
        s.control->GetFrame()->SetNonFocusBorders(c.borders);
        const QImage image = s.image();
        const bool left = c.borders & 1, top = c.borders & 2, right = c.borders & 4, bottom = c.borders & 8;
        auto expect = [&](int x, int y, bool black) {
            EXPECT_EQ(image.pixelColor(x, y), black ? QColor(Qt::black) : kFace) << x << "," << y;
        };
        // No sunken edge with a frame.
        expect(0, 0, false);
        expect(w - 1, h - 1, false);
        // Top and bottom lines reach one pixel further where a side line is.
        for (int y : {1, h - 2}) {
            const bool line = y == 1 ? top : bottom;
            expect(1, y, line && left);
            expect(2, y, line);
            expect(40, y, line);
            expect(w - 3, y, line);
            expect(w - 2, y, line && right);
            expect(w - 1, y, false);
        }
        expect(1, 2, left);
        expect(1, 12, left);
        expect(1, h - 3, left);
        expect(w - 2, 2, right);
        expect(w - 2, 12, right);
        expect(w - 2, h - 3, right);
        // The gap lines come last.
        EXPECT_EQ(image.pixelColor(2, 2), kEditColour);
    }
}

TEST(EditButtonPaintTest, FrameChangesShowWithoutFurtherAction)
{
    PaintSetup s;
    s.build(tabPage(s.form.get()));
    s.control->GetFrame()->SetEnabled(true);
    s.control->GetFrame()->SetNonFocusBorders(0);
    EXPECT_EQ(s.image().pixelColor(1, 12), kFace);
    s.control->GetFrame()->SetNonFocusBorders(1);
    EXPECT_EQ(s.image().pixelColor(1, 12), QColor(Qt::black));
    s.control->GetFrame()->SetEnabled(false);
    EXPECT_EQ(s.image().pixelColor(0, 12), kShadow);
}

TEST(EditButtonPaintTest, DataAwareControlPaintsAlike)
{
    PaintSetup s;
    s.build<TwwDBEditButton>(new QFrame(s.form.get()));
    s.control->GetFrame()->SetEnabled(true);
    s.control->GetFrame()->SetNonFocusBorders(15);
    const QImage image = s.image();
    EXPECT_EQ(image.pixelColor(0, 12), kParentColour);
    EXPECT_EQ(image.pixelColor(1, 12), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(2, 12), kEditColour);
}

TEST(EditButtonPaintTest, MissingFrameCountsAsDisabled)
{
    QWidget form;
    auto *control = new TestEditButton(&form, TestEditButton::ptFrame);
    QPalette pal = control->palette();
    pal.setColor(QPalette::Dark, kShadow);
    control->setPalette(pal);
    form.show();
    EXPECT_EQ(control->grab().toImage().pixelColor(0, 0), kShadow);
}

} // namespace
