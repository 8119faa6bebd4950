#include "GetUsersForm.h"
#include "FormTexts.h"
#include "SelbowFixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

class UserPicker : public SelbowTest {
protected:
    // The dialog over the users named, shown without a modal loop.
    std::unique_ptr<TfrmGetUsers> showPicker(const std::vector<std::string> &names)
    {
        for (const auto &n : names)
            addUser(n);
        auto form = std::make_unique<TfrmGetUsers>(utils);
        form->show();
        QApplication::processEvents();
        return form;
    }

    static QTableWidget *grid(TfrmGetUsers &form) { return form.findChild<QTableWidget *>("grdUsers"); }
    static QPushButton *ok(TfrmGetUsers &form) { return form.findChild<QPushButton *>("btnOK"); }

    static QRect cell(TfrmGetUsers &form, int gridRow, int col)
    {
        return grid(form)->visualRect(grid(form)->model()->index(gridRow - 1, col));
    }
    static void click(TfrmGetUsers &form, int gridRow, int col, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(grid(form)->viewport(), button, {}, cell(form, gridRow, col).center());
    }
    static std::vector<bool> marks(const TfrmGetUsers &form)
    {
        std::vector<bool> m;
        for (std::size_t i = 0; i < form.Users().Count(); ++i)
            m.push_back(form.Users().Object(i).Selected);
        return m;
    }

    // The picture as it must appear over `background`: pixels of its
    // transparent colour (bottom-left pixel) show the background.
    static QColor expectedPixel(const QImage &picture, int x, int y, const QColor &background)
    {
        const QRgb transparent = picture.pixel(0, picture.height() - 1);
        const QRgb p = picture.pixel(x, y);
        return p == transparent ? background : QColor(p);
    }

    // Checks that the picture was drawn at the placement rules' position in
    // the grid cell, clipped to the cell, over `background`.
    static void expectPicture(TfrmGetUsers &form, const QImage &shot, int gridRow, const QPixmap &pixmap,
                              const QColor &background)
    {
        const QRect c = cell(form, gridRow, 0);
        const QImage picture = pixmap.toImage();
        const int W = picture.width(), H = picture.height();
        const int L = c.left(), T = c.top(), R = c.left() + c.width(), B = c.top() + c.height();
        const int top = std::max(T + (B - T - H) / 2, T + 1);
        const int left = L + 1 + (R - L) / 2 - W / 2;
        for (int y = 0; y < H && top + y < B; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(shot.pixel(left + x, top + y), expectedPixel(picture, x, y, background).rgb())
                    << "picture pixel " << x << "," << y << " of row " << gridRow;
        for (int x = L; x < R; ++x)
            for (int y = T; y < top; ++y)
                ASSERT_EQ(shot.pixel(x, y), background.rgb()) << "above the picture at " << x << "," << y;
    }
};

} // namespace

TEST_F(UserPicker, ListsEveryUserByNameWithoutRegardToCase)
{
    auto form = showPicker({"bob", "Sam", "Alice", "Sam"});
    auto *g = grid(*form);
    ASSERT_EQ(g->rowCount(), 4);
    QStringList names;
    for (int r = 0; r < 4; ++r) {
        names << g->item(r, 1)->text();
        EXPECT_EQ(g->item(r, 0)->text(), " ");
    }
    EXPECT_EQ(names, (QStringList{"Alice", "bob", "Sam", "Sam"}));
    EXPECT_NE(form->Users().Object(2).User->UserId, form->Users().Object(3).User->UserId);
    EXPECT_FALSE(form->Users().Object(0).User->UserDirectory.empty());
    EXPECT_EQ(g->horizontalHeaderItem(0)->text(), "Selected");
    EXPECT_EQ(g->horizontalHeaderItem(1)->text(), "User Name");
    EXPECT_EQ(form->windowTitle(), "Identify Gearvane Users");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form->findChild<QPlainTextEdit *>("Memo3")->toPlainText(),
              "There are multiple Palm users on this computer.  Select each user you want to \n"
              "install Gearvane to by making sure a check mark appears appears next to \n"
              "the appropriate user's name.");
}

TEST_F(UserPicker, KeysTypedWhenThePickerOpensGoToTheGrid)
{
    auto form = showPicker({"Alice", "bob"});
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ASSERT_EQ(QApplication::focusWidget(), grid(*form));
    // As a user types them: to whatever has the focus.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(form->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(marks(*form), (std::vector<bool>{true, false}));
}

TEST_F(UserPicker, EveryTextShowsWholeInItsControl)
{
    auto form = showPicker({"Alice", "bob"});
    EXPECT_EQ(gvtest::ClippedTexts(form.get()), std::vector<std::string>{});
}

TEST_F(UserPicker, OkIsEnabledAndDefaultOnlyWhileAUserIsMarked)
{
    auto form = showPicker({"Alice", "bob"});
    EXPECT_FALSE(ok(*form)->isEnabled());
    EXPECT_FALSE(ok(*form)->isDefault());
    grid(*form)->setFocus();
    QTest::keyClick(grid(*form), Qt::Key_Return);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->OkPressed);

    QTest::keyClick(grid(*form), Qt::Key_Space);
    EXPECT_EQ(marks(*form), (std::vector<bool>{true, false}));
    EXPECT_TRUE(ok(*form)->isEnabled());
    EXPECT_TRUE(ok(*form)->isDefault());
    EXPECT_EQ(grid(*form)->item(0, 0)->text(), "X");

    QTest::keyClick(grid(*form), Qt::Key_Space);
    EXPECT_EQ(marks(*form), (std::vector<bool>{false, false}));
    EXPECT_FALSE(ok(*form)->isEnabled());
    EXPECT_FALSE(ok(*form)->isDefault());

    QTest::keyClick(grid(*form), Qt::Key_Space);
    QTest::keyClick(grid(*form), Qt::Key_Return);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->OkPressed);
}

TEST_F(UserPicker, OnlyTheCheckColumnAndSpaceToggleAMark)
{
    auto form = showPicker({"Alice", "bob", "Carol"});
    grid(*form)->setFocus();

    click(*form, 2, 1);
    EXPECT_EQ(marks(*form), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(grid(*form)->currentRow(), 1);

    QTest::keyClick(grid(*form), Qt::Key_Space);
    EXPECT_EQ(marks(*form), (std::vector<bool>{false, true, false}));

    auto *header = grid(*form)->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    EXPECT_EQ(marks(*form), (std::vector<bool>{false, true, false}));

    click(*form, 3, 0);
    click(*form, 1, 0, Qt::RightButton);
    EXPECT_EQ(marks(*form), (std::vector<bool>{true, true, true}));
    click(*form, 2, 0);
    EXPECT_EQ(marks(*form), (std::vector<bool>{true, false, true}));
}

TEST_F(UserPicker, ClosingWithoutOkChoosesNobody)
{
    const std::function<void(QWidget *)> closers[] = {
        [](QWidget *d) { QTest::mouseClick(d->findChild<QPushButton *>("btnCancel"), Qt::LeftButton); },
        [](QWidget *d) { QTest::keyClick(d, Qt::Key_Escape); },
        [](QWidget *d) { d->close(); },
    };
    addUser("Alice");
    addUser("bob");
    for (std::size_t i = 0; i < std::size(closers); ++i) {
        SCOPED_TRACE(i);
        whenModal([&closers, i](QWidget *dialog) {
            auto *g = dialog->findChild<QTableWidget *>("grdUsers");
            QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(0, 0)).center());
            ASSERT_TRUE(dialog->findChild<QPushButton *>("btnOK")->isEnabled());
            closers[i](dialog);
        });
        TUserList chosen = PickUsers(utils);
        EXPECT_EQ(chosen.Count(), 0u);
    }
}

TEST_F(UserPicker, WithFewerThanTwoUsersNothingIsShown)
{
    EXPECT_EQ(PickUsers(utils).Count(), 0u);
    const auto only = addUser("Alice");
    TUserList chosen = PickUsers(utils);
    ASSERT_EQ(chosen.Count(), 1u);
    EXPECT_EQ(chosen.Object(0).UserId, only.id);
    EXPECT_EQ(chosen.Object(0).UserName, "Alice");
}

TEST_F(UserPicker, WithoutUsersTheGridIsReadOnly)
{
    TfrmGetUsers form(utils);
    EXPECT_EQ(grid(form)->rowCount(), 1);
    EXPECT_FALSE(grid(form)->isEnabled());
    EXPECT_FALSE(ok(form)->isEnabled());
}

TEST_F(UserPicker, PicturesSitOnTheRowColourAndTheHeaderIsRaised)
{
    auto form = showPicker({"Alice", "bob", "Carol"});
    click(*form, 3, 0); // marks Carol and makes her row current
    grid(*form)->setCurrentCell(0, 1);
    grid(*form)->clearFocus();
    QApplication::processEvents();
    const QPalette &colours = grid(*form)->palette();
    const QColor highlight = colours.color(QPalette::Active, QPalette::Highlight);
    const QColor window = colours.color(QPalette::Active, QPalette::Base);
    ASSERT_NE(highlight, window);
    ASSERT_EQ(window, QApplication::palette().color(QPalette::Active, QPalette::Base));

    const QImage shot = grid(*form)->viewport()->grab().toImage();
    expectPicture(*form, shot, 1, form->UncheckedImage, highlight);
    expectPicture(*form, shot, 2, form->UncheckedImage, window);
    expectPicture(*form, shot, 3, form->CheckedImage, window);
    const QRect name = cell(*form, 1, 1);
    EXPECT_EQ(shot.pixel(name.right() - 1, name.bottom() - 1), highlight.rgb());
    const QRect other = cell(*form, 2, 1);
    EXPECT_EQ(shot.pixel(other.right() - 1, other.bottom() - 1), window.rgb());

    auto *header = grid(*form)->horizontalHeader();
    const QImage top = header->grab().toImage();
    const int R = header->sectionSize(0) - 1, B = header->height() - 1; // the cell leaves out the fixed grid line
    const QColor light = colours.color(QPalette::Active, QPalette::Light);
    const QColor dark = colours.color(QPalette::Active, QPalette::Dark);
    EXPECT_EQ(top.pixel(0, 0), light.rgb());
    EXPECT_EQ(top.pixel(R - 2, 0), light.rgb());
    EXPECT_EQ(top.pixel(0, B - 1), light.rgb());
    EXPECT_EQ(top.pixel(1, B - 1), dark.rgb());
    EXPECT_EQ(top.pixel(R - 1, 0), dark.rgb());
    EXPECT_EQ(top.pixel(R - 1, B - 1), dark.rgb());
    EXPECT_EQ(top.pixel(1, 1), colours.color(QPalette::Active, QPalette::Button).rgb());
}

TEST_F(UserPicker, APictureTallerThanItsCellStartsBelowTheTopAndIsClipped)
{
    auto form = showPicker({"Alice", "bob"});
    const int H = form->CheckedImage.height();
    ASSERT_GT(H, 6);
    grid(*form)->verticalHeader()->resizeSection(1, H - 4 + 1); // cell height H - 4 plus its grid line
    QApplication::processEvents();

    const QImage shot = grid(*form)->viewport()->grab().toImage();
    const QColor window = grid(*form)->palette().color(QPalette::Active, QPalette::Base);
    const QRect c = cell(*form, 2, 0);
    ASSERT_EQ(c.height(), H - 4);
    expectPicture(*form, shot, 2, form->UncheckedImage, window);
    // Nothing of the picture below the cell and its grid line.
    for (int y = c.bottom() + 2; y < c.bottom() + 2 + H; ++y)
        for (int x = c.left(); x <= c.right(); ++x)
            ASSERT_EQ(shot.pixel(x, y), window.rgb()) << x << "," << y;
}
