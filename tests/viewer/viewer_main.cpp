// Entry point of the viewer tests: a QApplication, and a user data-source
// file that adds a SQLite stand-in database to the test data sources. The
// driver manager reads ODBCINI once, so it is set before any ODBC call.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

#include "ViewerTestSupport.h"

namespace {
constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

void PrepareDataSources(const QString& dir) {
    QByteArray ini;
    if (const char* base = std::getenv("ODBCINI")) {
        QFile f(QString::fromLocal8Bit(base));
        if (f.open(QIODevice::ReadOnly)) ini = f.readAll();
    }
    const QString db = dir + "/viewer_sqlite.db";
    ini += QString("\n[%1]\nDescription = viewer test stand-in\nDriver = %2\nDatabase = %3\n")
               .arg(kSqliteDsn, kSqliteDriver, db)
               .toUtf8();
    const QByteArray simDriver = qgetenv("KELV_SIM_DRIVER");
    if (!simDriver.isEmpty())
        ini += QString("\n[%1]\nDescription = Kelv simulated Oracle, odd banner\nDriver = %2\n"
                       "Database = %3/oddbanner.db\nVersion = 10\nBanner = %4\n")
                   .arg(kSimOddBannerDsn, QString::fromLocal8Bit(simDriver), dir, kSimOddBanner)
                   .toUtf8();
    const QString path = dir + "/odbc.ini";
    QFile out(path);
    if (out.open(QIODevice::WriteOnly)) out.write(ini);
    out.close();
    qputenv("ODBCINI", path.toLocal8Bit());
    qputenv("KVS_VIEWER_SQLITE_DB", db.toLocal8Bit());
    SetSqliteBanners({"Oracle Database 10g Enterprise Edition Release 10.2.0.1.0 - Production"});
}
}  // namespace

int main(int argc, char** argv) {
    // Without an X server even the screen test runs offscreen (and skips).
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qgetenv("QT_QPA_PLATFORM") != "offscreen") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("KVS_NO_DISPLAY", "1");
    }
    QTemporaryDir dir;
    PrepareDataSources(dir.path());
    QApplication app(argc, argv);
    QApplication::setApplicationName(kWindowCaption);
    // The query component's and the login's messages reach the scripted dialogs.
    TViewerQueryUI queryUi;
    SetQueryUI(&queryUi);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    SetQueryUI(nullptr);
    return result;
}
