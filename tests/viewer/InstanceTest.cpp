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

namespace {

// The program's arguments as the process listing shows them.
QStringList ListedArguments(qint64 pid) {
    QFile f(QString("/proc/%1/cmdline").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList args;
    for (const QByteArray& part : f.readAll().split('\0')) args << QString::fromLocal8Bit(part);
    return args;
}

// The platform plugin the process has loaded ("" until it has one).
QString LoadedPlatform(qint64 pid) {
    QFile f(QString("/proc/%1/maps").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QString maps = QString::fromLocal8Bit(f.readAll());
    for (const char* platform : {"offscreen", "minimal"})
        if (maps.contains(QString("platforms/libq%1.so").arg(platform))) return platform;
    return {};
}

// Qt's own options on the command line keep working: "-platform offscreen"
// wins over the environment's "minimal" only when Qt has read it. Only a
// "user/password" argument is wiped from the listing.
TEST(CommandLine, QtOptionsWorkAndOnlyTheCredentialsAreWiped) {
    const QString binary = ViewerBinary();
    if (binary.isEmpty() || !QFile::exists(binary)) GTEST_SKIP() << "Kelvs not built";

    for (const QStringList& arguments : {QStringList{"-platform", "offscreen"},
                                         QStringList{"-platform", "offscreen", "scott/tiger"}}) {
        // No Kelv.ini: the viewer waits in its missing-settings box.
        QTemporaryDir runtime, work;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("QT_QPA_PLATFORM", "minimal");
        QProcess viewer;
        viewer.setProcessEnvironment(env);
        viewer.setWorkingDirectory(work.path());
        viewer.start(binary, arguments);
        ASSERT_TRUE(viewer.waitForStarted());
        const qint64 pid = viewer.processId();
        const bool credentials = arguments.size() > 2;
        QString platform;
        QStringList listed;
        // Up: a platform loaded and, with credentials, the password gone.
        QTest::qWaitFor(
            [&] {
                if (viewer.state() == QProcess::NotRunning) return true;
                platform = LoadedPlatform(pid);
                listed = ListedArguments(pid);
                return !platform.isEmpty() && (!credentials || !listed.join(' ').contains("tiger"));
            },
            60000);
        const bool running = viewer.state() != QProcess::NotRunning;
        viewer.kill();
        viewer.waitForFinished();
        const std::string what = arguments.join(' ').toStdString();
        ASSERT_TRUE(running) << what << ": " << viewer.readAllStandardError().toStdString();
        EXPECT_EQ(platform, QString("offscreen")) << what;
        EXPECT_TRUE(listed.contains("-platform")) << what;
        EXPECT_TRUE(listed.contains("offscreen")) << what;
        EXPECT_FALSE(listed.join(' ').contains("tiger")) << what;
        EXPECT_FALSE(listed.join(' ').contains("scott")) << what;
    }
}

}  // namespace
