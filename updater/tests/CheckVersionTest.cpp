#include "TempDir.h"
#include "TestHttpServer.h"
#include "TestUtils.h"
#include "fennick/HTTPCheckVersion.h"
#include "fennick/HTTPNewVersionAvailable.h"
#include "registry/Registry.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

const char *const ftpSettings = "[BRENHOLT]\r\nHost Name=ftp.brenholt.example\r\nUser ID=updates\r\nPassword=pw\r\n";
const char *const missingFtpSetting =
    "Unable to continue with transfer, some required FTP setup information is missing.";

class CheckVersion : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(temp.path() / "tmp");
        fs::create_directory(temp.path() / "host");
        utils = std::make_unique<TestUtils>(temp.path() / "tmp");
        form = std::make_unique<TfrmCheckInternet>(*utils, TUpdateServer{server.hostText(), "brenholt.example"});
        form->SetRegistryRoot(temp.path() / "host");
        form->NMHTTP1->TimeOut = 5000;
        form->show();
    }
    void TearDown() override
    {
        form.reset();
        utils.reset();
    }

    void setInstalled(const std::optional<std::string> &version)
    {
        if (version)
            registry::Registry(temp.path() / "host")
                .setString(registry::Hive::LocalMachine, "\\Software\\Brenholt\\Gearvane\\", "Version", *version);
    }

    // Runs the check; a new-version dialog that opens is read and cancelled.
    void runCheck()
    {
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [this] {
            auto *dialog = dynamic_cast<TfrmNewVersionAvailable *>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible())
                return;
            offeredVersion = dialog->lblCurrentVersion->text().toStdString();
            yourVersion = dialog->lblYourVersion->text().toStdString();
            ftpHost = dialog->FFtpHost;
            ftpPassword = dialog->FFtpPassword;
            formHidden = !form->isVisible();
            dialog->btnCancel->click();
        });
        watch.start();
        form->btnCheck->click();
    }

    bool tempFilesGone() const
    {
        return !fs::exists(temp.path() / "tmp" / "version.ini") && !fs::exists(temp.path() / "tmp" / "ftpfmt.ini");
    }
    bool idleAfterFailure() const
    {
        return form->isVisible() && form->btnCheck->isEnabled() && form->btnCheck->isDefault();
    }

    gvtest::TempDir temp;
    TestHttpServer server;
    std::unique_ptr<TestUtils> utils;
    std::unique_ptr<TfrmCheckInternet> form;
    std::optional<std::string> offeredVersion;
    std::string yourVersion;
    std::string ftpHost;
    std::string ftpPassword;
    bool formHidden = false;
};

struct VersionCase {
    const char *name;
    std::optional<std::string> installed;
    const char *versionIni;
    bool offered;
};

class CheckVersionTable : public CheckVersion, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(CheckVersionTable, OffersTheUpdateWheneverTheVersionStringsDiffer)
{
    const auto &row = GetParam();
    setInstalled(row.installed);
    server.setBody("/version.ini", row.versionIni);
    server.setBody("/ftpfmt.ini", ftpSettings);
    runCheck();

    EXPECT_TRUE(utils->texts(mtError).empty()) << utils->texts(mtError).front();
    if (row.offered) {
        ASSERT_TRUE(offeredVersion.has_value());
        EXPECT_EQ(yourVersion, row.installed.value_or(""));
        EXPECT_EQ(ftpHost, "ftp.brenholt.example");
        EXPECT_EQ(ftpPassword, "pw");
        EXPECT_TRUE(formHidden);
        EXPECT_EQ(server.requests(), (QStringList{"/version.ini", "/ftpfmt.ini"}));
        EXPECT_TRUE(utils->texts(mtInformation).empty());
    } else {
        EXPECT_FALSE(offeredVersion.has_value());
        EXPECT_EQ(server.requests(), QStringList{"/version.ini"});
        EXPECT_EQ(utils->texts(mtInformation), std::vector<std::string>{"The latest version is installed."});
    }
    EXPECT_TRUE(tempFilesGone());
    EXPECT_FALSE(form->isVisible()); // the check ended: the program ends
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckVersionTable,
    ::testing::Values(VersionCase{"EqualVersions", "1.5", "[GEARVANE]\r\nVersion=1.5\r\n", false},
                      VersionCase{"NewerByStringOnly", "1.9", "[GEARVANE]\r\nVersion=1.10\r\n", true},
                      VersionCase{"OlderPublished", "1.10", "[GEARVANE]\r\nVersion=1.9\r\n", true},
                      VersionCase{"CaseDiffers", "1.5a", "[GEARVANE]\r\nVersion=1.5A\r\n", true},
                      VersionCase{"NoInstalledVersion", std::nullopt, "[GEARVANE]\r\nVersion=1.0\r\n", true},
                      VersionCase{"NoPublishedVersion", "1.0", "[OTHER]\r\nVersion=1.0\r\n", true},
                      VersionCase{"NeitherVersion", std::nullopt, "[GEARVANE]\r\nAppName=Gearvane\r\n", false}),
    [](const auto &info) { return info.param.name; });

TEST_F(CheckVersion, AnEmptyFtpPasswordStopsBeforeTheDialog)
{
    server.setBody("/version.ini", "[GEARVANE]\r\nVersion=2.0\r\n");
    server.setBody("/ftpfmt.ini", "[BRENHOLT]\r\nHost Name=ftp.example\r\nUser ID=updates\r\nPassword=\r\n");
    runCheck();
    EXPECT_FALSE(offeredVersion.has_value());
    EXPECT_EQ(utils->texts(mtError), std::vector<std::string>{missingFtpSetting});
    EXPECT_TRUE(tempFilesGone());
    EXPECT_TRUE(idleAfterFailure());
}

struct FailureCase {
    const char *name;
    const char *brokenPath; // the fetch that goes wrong
    enum { Missing, Short, Hanging } fault;
    const char *message;
};

class CheckFailures : public CheckVersion, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CheckFailures, ShowTheErrorDeleteBothFilesAndReturnToIdle)
{
    const auto &row = GetParam();
    form->NMHTTP1->TimeOut = 300;
    const std::string broken = row.brokenPath;
    if (broken != "/version.ini" || row.fault != FailureCase::Missing)
        server.setBody("/version.ini", "[GEARVANE]\r\nVersion=2.0\r\n");
    if (broken != "/ftpfmt.ini" || row.fault != FailureCase::Missing)
        server.setBody("/ftpfmt.ini", ftpSettings);
    if (row.fault == FailureCase::Short)
        server.setShortBody(row.brokenPath, "[GEARVANE]\r\n", 400);
    else if (row.fault == FailureCase::Hanging)
        server.setHanging(row.brokenPath);
    QStringList shownStatus;
    const auto statusHandler = form->NMHTTP1->OnStatus;
    form->NMHTTP1->OnStatus = [&](const QString &text) {
        statusHandler(text);
        shownStatus << form->lblUpdateStatus->text();
    };
    runCheck();
    if (row.fault == FailureCase::Missing) {
        EXPECT_TRUE(shownStatus.contains(QStringLiteral("Object Not Found")));
    }
    EXPECT_FALSE(offeredVersion.has_value());
    EXPECT_EQ(utils->texts(mtError), std::vector<std::string>{row.message});
    EXPECT_TRUE(tempFilesGone());
    EXPECT_TRUE(idleAfterFailure());
    // The labels are back as they were before the fetch.
    EXPECT_EQ(form->lblMakeSure->text(),
              QStringLiteral("Make sure your modem is operating properly before continuing."));
    EXPECT_EQ(form->lblUpdateStatus->text(), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckFailures,
    ::testing::Values(FailureCase{"VersionMissing", "/version.ini", FailureCase::Missing, "HTTP/1.1 404 Not Found"},
                      FailureCase{"FtpSettingsMissing", "/ftpfmt.ini", FailureCase::Missing, "HTTP/1.1 404 Not Found"},
                      FailureCase{"VersionShort", "/version.ini", FailureCase::Short, "Transfer interrupted."},
                      FailureCase{"FtpSettingsShort", "/ftpfmt.ini", FailureCase::Short, "Transfer interrupted."},
                      FailureCase{"FtpSettingsSilent", "/ftpfmt.ini", FailureCase::Hanging,
                                  "Timed out waiting for 127.0.0.1"}),
    [](const auto &info) { return info.param.name; });

TEST_F(CheckVersion, AnUnknownHostIsExplainedOnceAndEndsSilently)
{
    form = std::make_unique<TfrmCheckInternet>(*utils, TUpdateServer{"gearvane-update.invalid", "brenholt.example"});
    form->show();
    runCheck();
    EXPECT_EQ(utils->texts(mtInformation),
              std::vector<std::string>{"Unable to resolve brenholt.example server.\r\rThis usually means that the "
                                       "internet connection is not open.\rCheck to make sure your internet settings "
                                       "are correct."});
    EXPECT_TRUE(utils->texts(mtError).empty());
    EXPECT_TRUE(idleAfterFailure());
}

TEST_F(CheckVersion, MinimisingAndRestoringTheApplicationIsTracked)
{
    form->showMinimized();
    EXPECT_TRUE(form->FMinimized);
    form->showNormal();
    EXPECT_FALSE(form->FMinimized);
}

TEST_F(CheckVersion, ACloseWhileMinimisedAsksTheOtherFormsFirst)
{
    TfrmNewVersionAvailable other(*utils, TUpdateServer{"web", "brenholt.example"});
    other.show();
    form->FMinimized = true;
    other.btnCancel->setEnabled(false); // transferring: the other form refuses
    form->close();
    EXPECT_TRUE(form->isVisible());
    other.btnCancel->setEnabled(true);
    form->close();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(CheckVersion, TheButtonsAreCentredInTheForm)
{
    const int left = form->pnlButtons->x() + form->btnCheck->x();
    const int right = form->pnlButtons->x() + form->btnCancel->x() + form->btnCancel->width();
    EXPECT_LE(std::abs(left - (form->width() - right)), 1);
    EXPECT_EQ(form->lblUpdateStatus->x(), 0);
    EXPECT_EQ(form->lblUpdateStatus->width(), form->pnlMain->width());
}

} // namespace
