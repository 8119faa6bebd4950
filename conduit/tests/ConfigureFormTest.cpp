// The configuration dialog: its layout, and the two configuration calls of
// the plug-in driven headless through the real dialog.
#include "ConfigureForm.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "FormTexts.h"
#include "com/InprocServer.h"
#include "formfont/FormFont.h"
#include "palmsync/SyncSuite.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace com;
using conduit::TfrmConfigure;

namespace {

// Runs `act` on the modal dialog once it is shown and active.
void whenDialogActive(std::function<void(QWidget *)> act, int triesLeft = 200)
{
    QTimer::singleShot(5, [act = std::move(act), triesLeft]() mutable {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || (QApplication::activeWindow() != dialog && triesLeft > 0)) {
            whenDialogActive(std::move(act), triesLeft - 1);
            return;
        }
        act(dialog);
    });
}

template <class T>
T *child(QWidget *dialog, const char *name)
{
    T *w = dialog->findChild<T *>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

TEST(TfrmConfigure, EveryTextShowsWholeInItsControl)
{
    TfrmConfigure form;
    form.show();
    EXPECT_EQ(gvtest::ClippedTexts(&form), std::vector<std::string>{});
}

TEST(TfrmConfigure, LayoutCaptionsAndDefaults)
{
    TfrmConfigure form;
    EXPECT_EQ(form.windowTitle(), "Change HotSync Action");
    // The pixel layout of the dialog font, grown with the font it gets.
    const QSizeF scale = formfont::FontScale(form.font());
    EXPECT_EQ(form.size(), formfont::Scaled(QRect(0, 0, 390, 227), scale).size());
    struct Expect {
        QWidget *w;
        QRect rect;
    };
    const Expect places[] = {{form.gbxAction, {11, 13, 265, 201}}, {form.imgMain, {5, 27, 60, 164}},
                             {form.rbSynchronize, {97, 37, 119, 17}}, {form.rbPCtoHH, {97, 80, 160, 17}},
                             {form.rbHHtoPC, {97, 125, 163, 17}},     {form.rbNothing, {97, 168, 75, 17}},
                             {form.btnOK, {293, 18, 75, 25}},         {form.btnCancel, {293, 45, 75, 25}},
                             {form.btnHelp, {293, 71, 75, 25}},       {form.chkDefault, {293, 119, 97, 17}}};
    for (const auto &p : places)
        EXPECT_EQ(p.w->geometry(), p.w == form.imgMain ? QRect(formfont::Scaled(p.rect, scale).topLeft(), p.rect.size())
                                                        : formfont::Scaled(p.rect, scale))
            << p.w->objectName().toStdString();
    EXPECT_EQ(form.gbxAction->title(), "HotSync Action for Gearvane");
    EXPECT_EQ(form.rbHHtoPC->text(), "H&andheld overwrites Desktop");
    EXPECT_EQ(form.chkDefault->text(), "Se&t as default");
    EXPECT_TRUE(form.rbSynchronize->isChecked());
    EXPECT_FALSE(form.chkDefault->isChecked());
    EXPECT_TRUE(form.btnOK->isDefault());
    EXPECT_FALSE(form.imgMain->pixmap().isNull());

    // Tab order: the radio buttons top to bottom, then OK, Cancel, Help, the check box.
    QWidget *expected[] = {form.rbSynchronize, form.rbPCtoHH, form.rbHHtoPC, form.rbNothing,
                           form.btnOK,         form.btnCancel, form.btnHelp, form.chkDefault};
    for (std::size_t i = 0; i + 1 < std::size(expected); ++i)
        EXPECT_EQ(expected[i]->nextInFocusChain(), expected[i + 1]) << i;
}

TEST(TfrmConfigure, ActionCodes)
{
    TfrmConfigure form;
    const std::pair<int, int> cases[] = {{0, 0}, {1, 6}, {2, 2}, {3, 3}, {4, 6}, {5, 6}, {6, 6}, {7, 6}, {-1, 6}};
    for (auto [set, get] : cases) {
        form.SetAction(set);
        EXPECT_EQ(form.GetAction(), get) << "SetAction(" << set << ")";
    }
}

class ConfigureThroughPlugin : public ::testing::Test {
protected:
    ConfigureThroughPlugin()
        : server((gvtest::binaryDir() / "Tarnlink.so").string()),
          notify(server.createInstance<palmsync::IPDClientNotify>(guid("{3F8E5B8F-E4A8-4DB3-8954-EFC40F888F1A}")))
    {
    }
    InprocServer server;
    ComPtr<palmsync::IPDClientNotify> notify;
};

struct CfgCase {
    const char *name;
    int temporary;
    const char *expectChecked; // the radio button checked when the dialog opens
    const char *click;         // radio button to choose, or nullptr
    bool setDefault;
    const char *closeWith; // "btnOK", "btnCancel", "escape", "close"
    // expected results: permanent, temporary, new, preference
    int permanent, temp, newType, preference;
};

TEST_F(ConfigureThroughPlugin, CfgConduitCases)
{
    const CfgCase cases[] = {
        {"temporary 1 opens on nothing, OK gives 6", 1, "rbNothing", nullptr, false, "btnOK", 0, 6, 6, 2},
        {"temporary 4 opens on nothing", 4, "rbNothing", nullptr, false, "btnOK", 0, 6, 6, 2},
        {"temporary 5 opens on nothing", 5, "rbNothing", nullptr, false, "btnOK", 0, 6, 6, 2},
        {"temporary 7 opens on nothing", 7, "rbNothing", nullptr, false, "btnOK", 0, 6, 6, 2},
        {"OK without default leaves permanent", 0, "rbSynchronize", "rbHHtoPC", false, "btnOK", 0, 2, 2, 2},
        {"OK with default sets permanent", 3, "rbPCtoHH", "rbSynchronize", true, "btnOK", 0, 0, 0, 1},
        {"cancel changes nothing", 2, "rbHHtoPC", "rbNothing", true, "btnCancel", 0, 2, -9, -9},
        {"escape changes nothing", 2, "rbHHtoPC", "rbNothing", false, "escape", 0, 2, -9, -9},
        {"close box changes nothing", 3, "rbPCtoHH", "rbSynchronize", false, "close", 0, 3, -9, -9},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::int32_t permanent = c.setDefault && std::string(c.closeWith) == "btnOK" ? 2 : 0;
        std::int32_t temporary = c.temporary, newType = -9, preference = -9;
        const int permanentBefore = permanent;
        bool checkedAsExpected = false;
        whenDialogActive([&](QWidget *dialog) {
            checkedAsExpected = child<QRadioButton>(dialog, c.expectChecked)->isChecked();
            if (c.click)
                child<QRadioButton>(dialog, c.click)->click();
            if (c.setDefault)
                child<QCheckBox>(dialog, "chkDefault")->setChecked(true);
            std::string how = c.closeWith;
            if (how == "escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else if (how == "close")
                dialog->close();
            else
                child<QPushButton>(dialog, c.closeWith)->click();
        });
        ASSERT_EQ(notify->CfgConduit(0, 0, "", "", &permanent, &temporary, &newType, &preference), S_OK);
        EXPECT_TRUE(checkedAsExpected);
        EXPECT_EQ(permanent, c.setDefault && std::string(c.closeWith) == "btnOK" ? c.temp : permanentBefore);
        EXPECT_EQ(temporary, c.temp);
        EXPECT_EQ(newType, c.newType);
        EXPECT_EQ(preference, c.preference);
    }
}

TEST_F(ConfigureThroughPlugin, ConfigureConduitAlwaysOpensOnSynchronize)
{
    std::int32_t preference = 7, syncType = 3;
    bool synchronizeChecked = false;
    whenDialogActive([&](QWidget *dialog) {
        synchronizeChecked = child<QRadioButton>(dialog, "rbSynchronize")->isChecked();
        child<QRadioButton>(dialog, "rbNothing")->click();
        child<QPushButton>(dialog, "btnOK")->click();
    });
    ASSERT_EQ(notify->ConfigureConduit(0, 0, &preference, &syncType), S_OK);
    EXPECT_TRUE(synchronizeChecked);
    EXPECT_EQ(syncType, 6);
    EXPECT_EQ(preference, 2);

    whenDialogActive([&](QWidget *dialog) {
        child<QRadioButton>(dialog, "rbHHtoPC")->click();
        child<QCheckBox>(dialog, "chkDefault")->setChecked(true);
        child<QPushButton>(dialog, "btnOK")->click();
    });
    ASSERT_EQ(notify->ConfigureConduit(0, 0, &preference, &syncType), S_OK);
    EXPECT_EQ(syncType, 2);
    EXPECT_EQ(preference, 1);

    whenDialogActive([&](QWidget *dialog) { child<QPushButton>(dialog, "btnCancel")->click(); });
    ASSERT_EQ(notify->ConfigureConduit(0, 0, &preference, &syncType), S_OK);
    EXPECT_EQ(syncType, 2);
    EXPECT_EQ(preference, 1);
}

TEST_F(ConfigureThroughPlugin, HelpDoesNothingAndKeepsTheDialogOpen)
{
    std::int32_t preference = 0, syncType = 0;
    bool stillOpenAfterHelp = false;
    whenDialogActive([&](QWidget *dialog) {
        child<QPushButton>(dialog, "btnHelp")->click();
        QApplication::processEvents();
        stillOpenAfterHelp = dialog->isVisible();
        child<QRadioButton>(dialog, "rbPCtoHH")->click();
        child<QPushButton>(dialog, "btnOK")->click();
    });
    ASSERT_EQ(notify->ConfigureConduit(0, 0, &preference, &syncType), S_OK);
    EXPECT_TRUE(stillOpenAfterHelp);
    EXPECT_EQ(syncType, 3);
}

} // namespace
