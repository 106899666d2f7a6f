// Two viewer processes for one user: the second ends at once, silently.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

namespace {

QString ViewerBinary() {
    const char* bin = std::getenv("KELV_BIN_DIR");
    return bin ? QString::fromLocal8Bit(bin) + "/Kelvs" : QString();
}

TEST(SingleInstance, ASecondViewerEndsSilently) {
    const QString binary = ViewerBinary();
    if (binary.isEmpty() || !QFile::exists(binary)) GTEST_SKIP() << "Kelvs not built";
    // Private lock directory; no Kelv.ini in the working directory, so the
    // viewer that holds the lock waits in its missing-settings box.
    QTemporaryDir runtime, work;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");

    QProcess first, second;
    for (QProcess* p : {&first, &second}) {
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(work.path());
        p->setProgram(binary);
    }
    first.start();
    ASSERT_TRUE(first.waitForStarted());
    second.start();
    ASSERT_TRUE(second.waitForStarted());

    // Whichever took the lock stays; the other must end by itself.
    const bool oneEnded = QTest::qWaitFor(
        [&] { return first.state() == QProcess::NotRunning || second.state() == QProcess::NotRunning; }, 60000);
    QProcess& ended = first.state() == QProcess::NotRunning ? first : second;
    QProcess& holder = &ended == &first ? second : first;
    const bool holderAlive = holder.state() != QProcess::NotRunning;
    for (QProcess* p : {&first, &second}) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished();
        }
    }
    ASSERT_TRUE(oneEnded) << "neither viewer ended";
    EXPECT_TRUE(holderAlive) << "the first viewer should still be running";
    EXPECT_EQ(ended.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ended.exitCode(), 0);
    EXPECT_TRUE(ended.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(ended.readAllStandardError().isEmpty());
}

}  // namespace
