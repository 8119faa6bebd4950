#include "EditButtonTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <set>
#include <utility>

using namespace dravik;
using namespace dravik::test;

namespace {

template <class Control>
class EditButtonLayoutTest : public testing::Test {
protected:
    FormWith<Control> f;
};

using Controls = testing::Types<TEditButton, TwwDBEditButton>;
TYPED_TEST_SUITE(EditButtonLayoutTest, Controls);

TYPED_TEST(EditButtonLayoutTest, NewControlHasTheFixedLayout)
{
    EXPECT_EQ(this->f.control->size(), QSize(83, 25));
    EXPECT_EQ(this->f.edit()->geometry(), QRect(3, 3, 57, 20));
    EXPECT_EQ(this->f.button()->geometry(), QRect(60, 2, 21, 21));
    EXPECT_FALSE(this->f.edit()->hasFrame());
}

TYPED_TEST(EditButtonLayoutTest, GlyphHasThreeDotsOnItsMiddleRow)
{
    const QImage glyph = this->f.control->Button()->GetGlyph();
    ASSERT_EQ(glyph.size(), QSize(18, 21));
    // The bottom-left pixel's colour is the transparent one; every other
    // pixel is a dot.
    const QRgb transparent = glyph.pixel(0, glyph.height() - 1);
    std::set<std::pair<int, int>> dots;
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x)
            if (glyph.pixel(x, y) != transparent)
                dots.insert({x, y});
    EXPECT_EQ(dots, (std::set<std::pair<int, int>>{{3, 9}, {8, 9}, {13, 9}}));
}

TYPED_TEST(EditButtonLayoutTest, ButtonShowsTheDotsInButtonTextColour)
{
    const QImage image = this->f.button()->grab().toImage();
    const QColor text = this->f.button()->palette().color(QPalette::ButtonText);
    const QColor face = this->f.button()->palette().color(QPalette::Button);
    // The glyph sits centred: one pixel in from the left, flush with the top.
    EXPECT_EQ(image.pixelColor(4, 9), text);
    EXPECT_EQ(image.pixelColor(9, 9), text);
    EXPECT_EQ(image.pixelColor(14, 9), text);
    EXPECT_EQ(image.pixelColor(6, 9), face);
}

TYPED_TEST(EditButtonLayoutTest, ResizeKeepsHeightAndMovesButtonToTheRightEnd)
{
    this->f.control->resize(150, 60);
    EXPECT_EQ(this->f.control->size(), QSize(150, 25));
    EXPECT_EQ(this->f.button()->geometry(), QRect(127, 2, 21, 21));
    EXPECT_EQ(this->f.edit()->geometry(), QRect(3, 3, 124, 20));
}

TYPED_TEST(EditButtonLayoutTest, HiddenButtonGivesTheEditTheWholeWidth)
{
    this->f.control->SetButtonVisible(false);
    EXPECT_FALSE(this->f.button()->isVisible());
    EXPECT_EQ(this->f.edit()->width(), 83 - 2 - 3);
    this->f.control->resize(120, 25);
    EXPECT_EQ(this->f.edit()->width(), 120 - 2 - 3);

    this->f.control->SetButtonVisible(true);
    EXPECT_TRUE(this->f.button()->isVisible());
    EXPECT_EQ(this->f.edit()->width(), 120 - 21 - 2 - 3);
}

TEST(EditButtonLayoutHiddenTest, LayoutHoldsBeforeTheControlIsShown)
{
    QWidget form;
    auto *control = new TEditButton(&form);
    control->SetButtonVisible(false);
    EXPECT_EQ(control->InnerEdit()->width(), 78);
    control->SetButtonVisible(true);
    EXPECT_EQ(control->InnerEdit()->width(), 57);
}

TEST(DBEditButtonLayoutTest, HeightFollowsTheEditWhateverTheFont)
{
    FormWith<TwwDBEditButton> f;
    QFont big = f.control->GetFont();
    big.setPointSize(big.pointSize() * 3);
    f.control->SetFont(big);
    QApplication::processEvents();
    f.control->resize(90, 80);
    // The inner edit does not size itself by its font inside the control.
    EXPECT_EQ(f.edit()->height(), 20);
    EXPECT_EQ(f.control->size(), QSize(90, 25));
}

TEST(DBEditButtonLayoutTest, ControlHeightIsSetFromTheEdit)
{
    FormWith<TwwDBEditButton> f;
    f.edit()->resize(f.edit()->width(), 30);
    f.control->SetHeightFromEdit();
    EXPECT_EQ(f.control->height(), 35);
    f.control->resize(100, 10);
    EXPECT_EQ(f.control->height(), 35);
}

} // namespace
