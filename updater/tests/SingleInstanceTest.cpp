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
    running.OnRestore = [&] {
        ++restores;
        return true;
    };
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

TEST(SingleInstance, AStartRunsInPlaceOfAnInstanceThatHasNoWindow)
{
    gvtest::TempDir temp;
    // This process and the started program share the folder of the socket.
    const QByteArray savedTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QByteArray::fromStdString(temp.str()));
    struct RestoreTemp {
        const QByteArray &saved;
        ~RestoreTemp() { saved.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", saved); }
    } restoreTemp{savedTemp};

    const QString title = QStringLiteral("Check For New Version");
    TSingleInstance windowless(title);
    bool gaveWay = false;
    windowless.OnRestore = [] { return false; };
    windowless.OnGiveWay = [&] { gaveWay = true; };
    ASSERT_TRUE(windowless.Listen());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOTSYNC_ROOT"), QString::fromStdString(temp.str()));
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QString::fromStdString((gvtest::binaryDir() / "Fennick").string()), {});
    ASSERT_TRUE(second.waitForStarted(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return gaveWay; }, 20000));
    // The new start took the name and shows its window to the next one.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return TSingleInstance::RestoreRunning(title) == TSingleInstance::rrShown; }, 20000));
    EXPECT_EQ(second.state(), QProcess::Running);
    second.kill();
    second.waitForFinished(10000);
}

} // namespace
