#include "KvCollectorLaunch.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <fcntl.h>
#include <unistd.h>

#include "KvViewerDialogs.h"

namespace {

// A pipe that already holds the password and a line end; the child reads it
// as its standard input through the read end's /dev/fd name. Both ends are
// close-on-exec, so only the opened standard input reaches the collector.
class TPasswordPipe {
public:
    explicit TPasswordPipe(const std::string& password) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
        readEnd_ = fds[0];
        const std::string line = password + "\n";
        // Never blocks: a password that does not fit the pipe at once fails.
        const bool written = ::write(fds[1], line.data(), line.size()) == static_cast<ssize_t>(line.size());
        ::close(fds[1]);
        if (!written) Close();
    }
    ~TPasswordPipe() { Close(); }
    TPasswordPipe(const TPasswordPipe&) = delete;
    TPasswordPipe& operator=(const TPasswordPipe&) = delete;

    bool Valid() const { return readEnd_ >= 0; }
    QString Path() const { return QString("/dev/fd/%1").arg(readEnd_); }

private:
    void Close() {
        if (readEnd_ >= 0) ::close(readEnd_);
        readEnd_ = -1;
    }
    int readEnd_ = -1;
};

}  // namespace

bool LaunchCollector(const std::string& exeDir, const std::string& dsn, const std::string& user,
                     const std::string& password) {
    const QString dir = QString::fromStdString(exeDir);
    // The collector would prefer a variable of that name to its standard input.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(kCollectorPasswordVariable);

    TPasswordPipe passwordPipe(password);
    QProcess process;
    process.setProgram(dir + "/" + kCollectorName);
    process.setArguments({QString::fromStdString(dsn), QString::fromStdString(user)});
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir);
    process.setStandardInputFile(passwordPipe.Valid() ? passwordPipe.Path() : QProcess::nullDevice());
    if (passwordPipe.Valid() && process.startDetached()) return true;
    ViewerDialogs().Message(QString("%1が起動できませんでした。").arg(kCollectorName));
    return false;
}
