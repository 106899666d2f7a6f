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

bool HasXWindowOf(qint64 pid) {
    QProcess search;
    search.start("xdotool", {"search", "--pid", QString::number(pid)});
    search.waitForFinished();
    return search.exitCode() == 0 && !search.readAllStandardOutput().trimmed().isEmpty();
}

// Qt's own options on the command line keep working: "-platform xcb" wins
// over the environment's offscreen platform only when Qt has read it, and
// then the viewer's box opens as a window of the X server. Only a
// "user/password" argument is wiped from the listing.
TEST(CommandLine, QtOptionsWorkAndOnlyTheCredentialsAreWiped) {
    const QString binary = ViewerBinary();
    if (binary.isEmpty() || !QFile::exists(binary)) GTEST_SKIP() << "Kelvs not built";
    if (qEnvironmentVariableIsEmpty("DISPLAY")) GTEST_SKIP() << "needs an X server";
    QProcess probe;
    probe.start("xdotool", {"version"});
    if (!probe.waitForFinished() || probe.exitCode() != 0) GTEST_SKIP() << "needs xdotool";

    for (const QStringList& arguments : {QStringList{"-platform", "xcb"},
                                         QStringList{"-platform", "xcb", "scott/tiger"}}) {
        // No Kelv.ini: the viewer waits in its missing-settings box.
        QTemporaryDir runtime, work;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess viewer;
        viewer.setProcessEnvironment(env);
        viewer.setWorkingDirectory(work.path());
        viewer.start(binary, arguments);
        ASSERT_TRUE(viewer.waitForStarted());
        const qint64 pid = viewer.processId();
        const bool shown = QTest::qWaitFor(
            [&] { return viewer.state() == QProcess::NotRunning || HasXWindowOf(pid); }, 60000);
        const QStringList listed = ListedArguments(pid);
        const bool running = viewer.state() != QProcess::NotRunning;
        viewer.kill();
        viewer.waitForFinished();
        const std::string what = arguments.join(' ').toStdString();
        ASSERT_TRUE(shown && running) << what << ": " << viewer.readAllStandardError().toStdString();
        EXPECT_TRUE(listed.contains("-platform")) << what;
        EXPECT_TRUE(listed.contains("xcb")) << what;
        EXPECT_FALSE(listed.join(' ').contains("tiger")) << what;
        EXPECT_FALSE(listed.join(' ').contains("scott")) << what;
    }
}

}  // namespace
