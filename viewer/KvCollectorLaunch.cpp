#include "KvCollectorLaunch.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include "KvViewerDialogs.h"

bool LaunchCollector(const std::string& exeDir, const std::string& dsn, const std::string& user,
                     const std::string& password) {
    const QString dir = QString::fromStdString(exeDir);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kCollectorPasswordVariable, QString::fromStdString(password));

    QProcess process;
    process.setProgram(dir + "/" + kCollectorName);
    process.setArguments({QString::fromStdString(dsn), QString::fromStdString(user)});
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir);
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached()) return true;
    ViewerDialogs().Message(QString("%1が起動できませんでした。").arg(kCollectorName));
    return false;
}
