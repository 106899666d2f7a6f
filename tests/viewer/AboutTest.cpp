// The about box of a program started under another file name, and where the
// box stands.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>

#include "KvAbout.h"

namespace {

constexpr const char* kChildVariable = "KELV_ABOUT_CHILD";
constexpr const char* kRenamedCase = "AboutBox.ARenamedCopyOfTheProgramShowsItsOwnFile";

TEST(AboutBox, ARenamedCopyOfTheProgramShowsItsOwnFile) {
    if (qEnvironmentVariableIsSet(kChildVariable)) {
        // Inside the copy: the box describes the running file.
        TfrmABT box;
        std::printf("ABOUT[%s|%s|%s]\n", box.lblEXEMei->text().toUtf8().constData(),
                    box.lblEXEDate->text().toUtf8().constData(), box.lblEXETime->text().toUtf8().constData());
        std::fflush(stdout);
        return;
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString copy = dir.filePath("KelvsRenamedCopy");
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    {
        QFile f(copy);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2023, 11, 2), QTime(21, 4, 5)), QFileDevice::FileModificationTime));
    }
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildVariable, "1");
    child.setProcessEnvironment(env);
    child.start(copy, {QString("--gtest_filter=") + kRenamedCase});
    ASSERT_TRUE(child.waitForFinished(60000)) << child.errorString().toStdString();
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    EXPECT_TRUE(output.contains("ABOUT[KelvsRenamedCopy|2023/11/02|21:04:05]")) << output.toStdString();
}

TEST(AboutBox, StandsInTheMiddleOfTheScreenNotOverTheWindow) {
    QWidget window;
    window.setGeometry(0, 0, 120, 80);
    window.show();
    TfrmABT box(&window);
    box.show();
    QScreen* display = box.screen();
    ASSERT_NE(display, nullptr);
    const QPoint middle = display->availableGeometry().center();
    const QPoint centre = box.geometry().center();
    EXPECT_LE(std::abs(centre.x() - middle.x()), 2) << centre.x() << " vs " << middle.x();
    EXPECT_LE(std::abs(centre.y() - middle.y()), 2) << centre.y() << " vs " << middle.y();
}

}  // namespace
