// Entry point of the viewer's fault tests: a QApplication and a user
// data-source file of their own (set before any ODBC call, which reads it
// once) with a simulated instance that nobody else uses.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "KelvsU1.h"
#include "KvViewerDialogs.h"
#include "ViewerFaultSources.h"

namespace {
void WriteDataSources(const QString& dir)
{
    const QString driver = qEnvironmentVariable("KELV_SIM_DRIVER");
    const QString db = dir + "/viewer_faults.db";
    QString ini;
    // Both names reach the same instance; the second adds a record to each statement error.
    ini += QString("[%1]\nDescription = Kelv simulated Oracle, faults\nDriver = %2\nDatabase = %3\nVersion = 10\n")
               .arg(kFaultDsn, driver, db);
    ini += QString("\n[%1]\nDescription = Kelv simulated Oracle, faults with error stack\nDriver = %2\n"
                   "Database = %3\nVersion = 10\nErrorStack = 1\n")
               .arg(kFaultStackDsn, driver, db);
    QFile out(dir + "/odbc.ini");
    if (out.open(QIODevice::WriteOnly)) out.write(ini.toUtf8());
    out.close();
    qputenv("ODBCINI", (dir + "/odbc.ini").toLocal8Bit());
    qputenv("KELV_FAULT_VIEWER_DB", db.toLocal8Bit());
}
}  // namespace

int main(int argc, char** argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    WriteDataSources(dir.path());
    QApplication app(argc, argv);
    QApplication::setApplicationName(kWindowCaption);
    TViewerQueryUI queryUi;  // the component's and the login's messages reach the scripted dialogs
    SetQueryUI(&queryUi);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    SetQueryUI(nullptr);
    return result;
}
