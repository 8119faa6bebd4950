#include "fennick/SingleInstance.h"
#include "TempDir.h"
#include "TestPaths.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <gtest/gtest.h>

namespace {

TEST(SingleInstance, ASecondStartAsksTheRunningInstanceToRestore)
{
    const QString title = QStringLiteral("Check For New Version ") + QUuid::createUuid().toString(QUuid::Id128);
    EXPECT_FALSE(TSingleInstance::RestoreRunning(title));

    TSingleInstance running(title);
    int restores = 0;
    running.OnRestore = [&] { ++restores; };
    ASSERT_TRUE(running.Listen());
    EXPECT_TRUE(TSingleInstance::RestoreRunning(title));
    EXPECT_TRUE(QTest::qWaitFor([&] { return restores == 1; }, 5000));

    TSingleInstance second(title);
    EXPECT_FALSE(second.Listen());
}

TEST(SingleInstance, TheProgramGivesWayToARunningCopy)
{
    gvtest::TempDir temp;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The instance socket lives in the temporary folder: this test's own.
    environment.insert(QStringLiteral("TMPDIR"), QString::fromStdString(temp.str()));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOTSYNC_ROOT"), QString::fromStdString(temp.str()));
    const QString program = QString::fromStdString((gvtest::binaryDir() / "Fennick").string());

    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted(10000));
    // The first copy is listening once its socket exists.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::filesystem::exists(
                temp.path() / TSingleInstance::ServerName(QStringLiteral("Check For New Version")).toStdString());
        },
        20000));

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(program, {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished(10000);
}

} // namespace
