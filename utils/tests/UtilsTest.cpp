#include "utils/Utils.h"

#include "TestPaths.h"

#include <QApplication>
#include <QDialog>
#include <QLocale>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// Records every sound and box; answers each box with `answer`.
class MessageBoxes : public testing::Test {
protected:
    MessageBoxes()
    {
        utils.setSoundHook([this](unsigned int beep) { sounds.push_back(beep); });
        utils.setAnswerHook([this](const TMessageBoxRequest &request) {
            requests.push_back(request);
            cursorWhileShown.push_back(QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape()
                                                                         : Qt::ArrowCursor);
            if (fail)
                throw std::runtime_error("cannot show");
            return answer;
        });
    }

    TclsUtils utils;
    std::vector<unsigned int> sounds;
    std::vector<TMessageBoxRequest> requests;
    std::vector<Qt::CursorShape> cursorWhileShown;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    bool fail = false;
};

TEST_F(MessageBoxes, EachBoxHasItsSoundKindAndButtons)
{
    using B = QMessageBox;
    const struct {
        const char *name;
        std::function<void(TclsUtils &)> show;
        unsigned int sound;
        TMsgDlgType type;
        QMessageBox::StandardButtons buttons;
    } cases[] = {
        {"information", [](TclsUtils &u) { u.ShowInformation("t"); }, 64, mtInformation, B::Ok},
        {"error", [](TclsUtils &u) { u.ShowError("t"); }, 16, mtError, B::Ok},
        {"warning", [](TclsUtils &u) { u.ShowWarning("t"); }, 48, mtWarning, B::Ok},
        {"yes/cancel", [](TclsUtils &u) { u.ConfirmYesCancel("t"); }, 32, mtConfirmation, B::Yes | B::Cancel},
        {"yes/no", [](TclsUtils &u) { u.ConfirmYesNo("t"); }, 32, mtConfirmation, B::Yes | B::No},
        {"ask warning", [](TclsUtils &u) { u.AskYesNoCancel("t", mtWarning); }, 48, mtWarning,
         B::Yes | B::No | B::Cancel},
        {"ask error", [](TclsUtils &u) { u.AskYesNoCancel("t", mtError); }, 16, mtError, B::Yes | B::No | B::Cancel},
        {"ask information", [](TclsUtils &u) { u.AskYesNoCancel("t", mtInformation); }, 64, mtInformation,
         B::Yes | B::No | B::Cancel},
        {"ask confirmation", [](TclsUtils &u) { u.AskYesNoCancel("t", mtConfirmation); }, 32, mtConfirmation,
         B::Yes | B::No | B::Cancel},
        {"ask custom", [](TclsUtils &u) { u.AskYesNoCancel("t", mtCustom); }, 0, mtCustom, B::Yes | B::No | B::Cancel},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        sounds.clear();
        requests.clear();
        c.show(utils);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(sounds, std::vector<unsigned int>{c.sound});
        EXPECT_EQ(requests[0].type, c.type);
        EXPECT_EQ(requests[0].buttons, c.buttons);
        EXPECT_EQ(requests[0].text, "t");
    }
}

TEST_F(MessageBoxes, AnswersAndFailures)
{
    answer = QMessageBox::Yes;
    EXPECT_TRUE(utils.ConfirmYesCancel("t"));
    EXPECT_TRUE(utils.ConfirmYesNo("t"));
    EXPECT_EQ(utils.AskYesNoCancel("t", mtWarning), QMessageBox::Yes);
    answer = QMessageBox::Cancel;
    EXPECT_FALSE(utils.ConfirmYesCancel("t"));
    answer = QMessageBox::No;
    EXPECT_FALSE(utils.ConfirmYesNo("t"));
    EXPECT_EQ(utils.AskYesNoCancel("t", mtError), QMessageBox::No);
    answer = QMessageBox::Cancel;
    EXPECT_EQ(utils.AskYesNoCancel("t", mtError), QMessageBox::Cancel);

    // A box that fails to show: nothing escapes, confirmations say no and
    // the question counts as cancelled.
    fail = true;
    EXPECT_NO_THROW(utils.ShowError("t"));
    EXPECT_FALSE(utils.ConfirmYesCancel("t"));
    EXPECT_FALSE(utils.ConfirmYesNo("t"));
    EXPECT_EQ(utils.AskYesNoCancel("t", mtConfirmation), QMessageBox::Cancel);
}

TEST_F(MessageBoxes, ArrowWhileShownThenThePreviousCursor)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    utils.ShowWarning("t");
    fail = true;
    utils.ConfirmYesNo("t");
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(cursorWhileShown, (std::vector<Qt::CursorShape>{Qt::ArrowCursor, Qt::ArrowCursor}));
    while (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::restoreOverrideCursor();
}

// The real box, answered by clicking its button from a timer.
TEST(RealMessageBox, IsAnsweredThroughItsButtons)
{
    TclsUtils utils;
    std::vector<unsigned int> sounds;
    utils.setSoundHook([&](unsigned int beep) { sounds.push_back(beep); });
    QString shownText;
    QMessageBox::StandardButtons shownButtons;
    bool foundAtOnce = false;
    // Answers the box as soon as it is up; the first look comes from a
    // zero-time single-shot timer, as a caller's test would do it.
    std::function<void(QMessageBox::StandardButton, bool)> click = [&](QMessageBox::StandardButton which, bool first) {
        QTimer::singleShot(first ? 0 : 10, [&, which, first] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box == nullptr) {
                click(which, false);
                return;
            }
            foundAtOnce = first;
            shownText = box->text();
            shownButtons = box->standardButtons();
            box->button(which)->click();
        });
    };
    click(QMessageBox::Yes, true);
    EXPECT_TRUE(utils.ConfirmYesNo("first line\rsecond line"));
    EXPECT_TRUE(foundAtOnce);
    EXPECT_EQ(shownText, QStringLiteral("first line\nsecond line"));
    EXPECT_EQ(shownButtons, QMessageBox::Yes | QMessageBox::No);

    click(QMessageBox::No, true);
    EXPECT_EQ(utils.AskYesNoCancel("question", mtCustom), QMessageBox::No);
    EXPECT_EQ(shownButtons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(sounds, (std::vector<unsigned int>{32, 0}));
}

TEST(RealMessageBox, AnsweredWhileTheMainFormIsHiddenLeavesTheProgramRunning)
{
    // As in the update checker: the main form hidden, a dialog of it on the
    // screen, the program in its message loop. Closing a box must not count
    // as closing the program's last window.
    TclsUtils utils;
    utils.setSoundHook([](unsigned int) {});
    QWidget mainForm;
    QDialog dialog(&mainForm);
    dialog.show();
    QApplication::setQuitOnLastWindowClosed(true);
    QTimer user;
    user.setInterval(20);
    QObject::connect(&user, &QTimer::timeout, [] {
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(window); box != nullptr && box->isVisible())
                QTimer::singleShot(0, box->button(QMessageBox::Ok), &QAbstractButton::click);
    });
    user.start();
    bool answered = false;
    QTimer::singleShot(0, [&] {
        utils.ShowInformation("Done");
        answered = true;
        QTimer::singleShot(300, [] { QCoreApplication::exit(7); });
    });
    EXPECT_EQ(QApplication::exec(), 7);
    EXPECT_TRUE(answered);
}

TEST(FormatThousands, FollowsTheProgramsCopy)
{
    TclsUtils utils;
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
#ifdef GV_UTILS_REGISTRATION_COPY
    const std::string sep = ",";
#else
    const std::string sep = ".";
#endif
    EXPECT_EQ(utils.FormatThousands(999), "999");
    EXPECT_EQ(utils.FormatThousands(1000), "1" + sep + "000");
    EXPECT_EQ(utils.FormatThousands(-1234), "-1" + sep + "234");
    EXPECT_EQ(utils.FormatThousands(0), "0");
    QLocale::setDefault(saved);
}

TEST(ClockTexts, UseTheClock)
{
    TclsUtils utils;
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QDateTime stamp(QDate(2031, 3, 4), QTime(0, 7, 9));
    utils.setClock([&stamp] { return stamp; });
    EXPECT_EQ(utils.TimeText(), "00:07:09");
    EXPECT_EQ(utils.NowText(), " 3/4/31 0:07 AM");
    stamp = QDateTime(QDate(2031, 12, 24), QTime(13, 45, 0));
    EXPECT_EQ(utils.TimeText(), "13:45:00");
    EXPECT_EQ(utils.NowText(), " 12/24/31 1:45 PM");
    QLocale::setDefault(saved);
}

TEST(FileVersionInfo, GivesVersionsOrQuestionMarks)
{
    TclsUtils utils;
    std::string file = "x", product = "x";
    utils.FileVersionInfo((gvtest::binaryDir() / "gv_utils_versioned").string(), file, product);
    EXPECT_EQ(file, "2.5.0.17");
    EXPECT_EQ(product, "1.0.3.0");
    utils.FileVersionInfo((gvtest::binaryDir() / "no-such-program").string(), file, product);
    EXPECT_EQ(file, "??");
    EXPECT_EQ(product, "??");
}

TEST(NextInstanceNumber, SkipsTitlesInUseByWindowsOfTheClass)
{
    TclsUtils utils;
    EXPECT_EQ(utils.NextInstanceNumber("frmFennick", "Fennick"), 1);
    QMainWindow first;
    first.setObjectName("frmFennick");
    first.setWindowTitle("Fennick");
    EXPECT_EQ(utils.NextInstanceNumber("frmFennick", "Fennick"), 2);
    QMainWindow second;
    second.setObjectName("frmFennick");
    second.setWindowTitle("Fennick:2");
    QMainWindow other;
    other.setObjectName("frmOther");
    other.setWindowTitle("Fennick:3");
    EXPECT_EQ(utils.NextInstanceNumber("frmFennick", "Fennick"), 3);
    // Windows match by class name as well.
    EXPECT_EQ(utils.NextInstanceNumber("QMainWindow", "Fennick"), 4);
    EXPECT_EQ(utils.NextInstanceNumber("frmFennick", "Selbow"), 1);
}

} // namespace
