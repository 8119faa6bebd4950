#include "dbcontrols/TwwDBComboBox.h"
#include "dbcontrols/TwwDBLookupCombo.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>

namespace {

void fill(QComboBox &combo)
{
    combo.addItems({"Diesel", "Petrol", "Electric"});
    combo.setCurrentIndex(1);
}

bool popupShown(QComboBox &combo)
{
    return combo.view()->isVisible();
}

void wheelDown(QWidget &w)
{
    const QPointF at(w.width() / 2.0, w.height() / 2.0);
    QWheelEvent wheel(at, w.mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(&w, &wheel);
}

// What the user can do to a combo, and whether it picks another item or
// drops the list down.
TEST(DataAwareCombos, ReadOnlyAndDropDownSwitchesKeepTheValue)
{
    const struct {
        const char *name;
        bool readOnly;
        bool dropDown;
        bool valueChanges;
        bool dropsDown;
    } cases[] = {
        {"editable", false, true, true, true},
        {"read-only", true, true, false, false},
        {"drop-down off", false, false, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::function<void(QComboBox &)> actions[] = {
            [](QComboBox &combo) { QTest::keyClick(&combo, Qt::Key_Down); },
            [](QComboBox &combo) { QTest::keyClick(&combo, Qt::Key_E); },
            [](QComboBox &combo) { wheelDown(combo); },
        };
        for (const auto &action : actions) {
            dbcontrols::TwwDBComboBox combo;
            fill(combo);
            combo.SetReadOnly(c.readOnly);
            combo.EnableDropDown(c.dropDown);
            combo.show();
            action(combo);
            EXPECT_EQ(combo.currentIndex() != 1, c.valueChanges);
        }
        dbcontrols::TwwDBComboBox combo;
        fill(combo);
        combo.SetReadOnly(c.readOnly);
        combo.EnableDropDown(c.dropDown);
        combo.show();
        combo.showPopup();
        EXPECT_EQ(popupShown(combo), c.dropsDown);
        combo.hidePopup();
    }
}

TEST(DataAwareCombos, ReadOnlyReachesAnEditMadeLater)
{
    dbcontrols::TwwDBComboBox combo;
    combo.SetReadOnly(true);
    combo.setEditable(true);
    combo.show();
    ASSERT_NE(combo.lineEdit(), nullptr);
    EXPECT_TRUE(combo.lineEdit()->isReadOnly());
}

TEST(DataAwareCombos, LookupComboTypingAndButton)
{
    dbcontrols::TwwDBLookupCombo combo;
    fill(combo);
    combo.resize(150, 25);
    combo.show();

    combo.SetReadOnly(true);
    QTest::keyClicks(combo.InnerEdit(), "Gas");
    EXPECT_EQ(combo.currentText(), QStringLiteral("Petrol"));
    EXPECT_FALSE(popupShown(combo));

    // Typing drops the list down only with AutoDropDown on.
    combo.SetReadOnly(false);
    QTest::keyClicks(combo.InnerEdit(), "x");
    EXPECT_FALSE(popupShown(combo));
    combo.SetAutoDropDown(true);
    QTest::keyClicks(combo.InnerEdit(), "y");
    EXPECT_TRUE(popupShown(combo));
    combo.hidePopup();

    // Without its button a click on the arrow's place drops nothing down.
    combo.SetShowButton(false);
    QTest::mouseClick(&combo, Qt::LeftButton, Qt::NoModifier, QPoint(combo.width() - 5, combo.height() / 2));
    EXPECT_FALSE(popupShown(combo));
    combo.SetShowButton(true);
    QTest::mouseClick(&combo, Qt::LeftButton, Qt::NoModifier, QPoint(combo.width() - 5, combo.height() / 2));
    EXPECT_TRUE(popupShown(combo));
    combo.hidePopup();
}

} // namespace
