#include "TempDir.h"
#include "TestUtils.h"
#include "fennick/HTTPNewVersionAvailable.h"
#include "updater/IniFile.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace {

using updater::TIniFile;

class NewVersionDialog : public ::testing::Test {
protected:
    void load(const std::string &text) { dialog.LoadVersionInfo(TIniFile::fromText(text), "1.9", "GEARVANE"); }

    gvtest::TempDir temp;
    TestUtils utils{temp.path()};
    TfrmNewVersionAvailable dialog{utils, TUpdateServer{"127.0.0.1:1", "brenholt.example"}};
};

struct MethodCase {
    const char *name;
    const char *files;
    bool patchEnabled;
    bool fullEnabled;
    bool fullChecked;
};

class UpdateMethods : public NewVersionDialog, public ::testing::WithParamInterface<MethodCase> {};

TEST_P(UpdateMethods, OfferWhatTheServerPublishes)
{
    load(std::string("[GEARVANE]\r\n") + GetParam().files);
    EXPECT_EQ(dialog.rbPatchOnly->isEnabled(), GetParam().patchEnabled);
    EXPECT_EQ(dialog.rbFullInstallation->isEnabled(), GetParam().fullEnabled);
    EXPECT_EQ(dialog.rbFullInstallation->isChecked(), GetParam().fullChecked);
    EXPECT_EQ(dialog.rbPatchOnly->isChecked(), !GetParam().fullChecked);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateMethods,
    ::testing::Values(MethodCase{"PatchAndComplete", "FileName=p.exe\r\nFullFileName=full.exe\r\n", true, true, false},
                      MethodCase{"SameFileForBoth", "FileName=gv.exe\r\nFullFileName=gv.exe\r\n", false, true, true},
                      MethodCase{"NoCompleteInstaller", "FileName=p.exe\r\n", true, false, false},
                      MethodCase{"NamesDifferInCase", "FileName=GV.exe\r\nFullFileName=gv.exe\r\n", true, true, false}),
    [](const auto &info) { return info.param.name; });

struct InfoCase {
    const char *name;
    const char *lines;
    const char *description;
};

class InfoLines : public NewVersionDialog, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(InfoLines, BuildTheDescription)
{
    load(std::string("[GEARVANE]\r\n") + GetParam().lines);
    EXPECT_EQ(dialog.memInfo->toPlainText().toStdString(), GetParam().description);
    EXPECT_EQ(dialog.memInfo->textCursor().position(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InfoLines,
    ::testing::Values(InfoCase{"ParagraphBreak", "Info00=Faster\r\nInfo01=#PARA#\r\nInfo02=Safer\r\n",
                               "Faster\n\nSafer"},
                      InfoCase{"FirstLineMissing", "Info01=Never shown\r\n", ""},
                      InfoCase{"StopsAtAnEmptyLine", "Info00=One\r\nInfo01=\r\nInfo02=Hidden\r\n", "One"},
                      InfoCase{"PaddedToTwoDigits",
                               "Info00=a\r\nInfo01=b\r\nInfo02=c\r\nInfo03=d\r\nInfo04=e\r\n"
                               "Info05=f\r\nInfo06=g\r\nInfo07=h\r\nInfo08=i\r\nInfo09=j\r\n"
                               "Info10=k\r\nInfo1=never\r\n",
                               "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk"}),
    [](const auto &info) { return info.param.name; });

TEST_F(NewVersionDialog, RefusesToCloseWhileTransferring)
{
    dialog.show();
    dialog.btnCancel->setEnabled(false);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    dialog.TransferFinished();
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
