// Every text of Fennick's three windows shows whole, with the texts they
// carry while they are in use.
#include "FormTexts.h"
#include "TempDir.h"
#include "TestUtils.h"
#include "fennick/HTTPCheckVersion.h"
#include "fennick/HTTPNewVersionAvailable.h"
#include "fennick/HTTPTransferUpdate.h"
#include "updater/IniFile.h"

#include <QCoreApplication>
#include <QLabel>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct WindowCase {
    const char *name;
    std::function<std::unique_ptr<QWidget>(TclsUtils &, const gvtest::TempDir &)> open;
};

void PrintTo(const WindowCase &c, std::ostream *os)
{
    *os << c.name;
}

class FennickWindows : public ::testing::TestWithParam<WindowCase> {};

TEST_P(FennickWindows, ShowEveryTextWhole)
{
    gvtest::TempDir temp;
    TestUtils utils(temp.path());
    std::unique_ptr<QWidget> window = GetParam().open(utils, temp);
    window->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(gvtest::ClippedTexts(window.get()), std::vector<std::string>{});
}

const TUpdateServer server{QStringLiteral("www.brenholt.example"), QStringLiteral("brenholt.example")};

INSTANTIATE_TEST_SUITE_P(
    Table, FennickWindows,
    ::testing::Values(
        WindowCase{"CheckForNewVersion",
                   [](TclsUtils &utils, const gvtest::TempDir &) {
                       auto form = std::make_unique<TfrmCheckInternet>(utils, server);
                       form->lblUpdateStatus->setText(QStringLiteral("Connecting to brenholt.example server..."));
                       return form;
                   }},
        WindowCase{"NewVersionAvailable",
                   [](TclsUtils &utils, const gvtest::TempDir &temp) {
                       auto dialog = std::make_unique<TfrmNewVersionAvailable>(utils, server);
                       gvtest::writeFileText(temp.path() / "version.ini",
                                             "[GEARVANE]\r\nAppName=Gearvane\r\nVersion=2.5.0.0\r\n"
                                             "FileName=gvpatch.exe\r\nFullFileName=gvfull.exe\r\nInfo00=Faster\r\n");
                       dialog->LoadVersionInfo(updater::TIniFile((temp.path() / "version.ini").string()), "2.4.0.0",
                                               "GEARVANE");
                       return dialog;
                   }},
        WindowCase{"UpdateTransferStatus",
                   [](TclsUtils &utils, const gvtest::TempDir &) {
                       auto dialog = std::make_unique<TfrmTransferUpdate>(utils, server);
                       dialog->lblTopStatus->setText(QStringLiteral("Retrieving update..."));
                       dialog->lblTransferStatus->setText(QStringLiteral("30,000,000 of 30,000,000 bytes retrieved"));
                       return dialog;
                   }}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
