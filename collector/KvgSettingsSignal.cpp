#include "KvgSettingsSignal.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include "KvPlatform.h"

namespace {
constexpr int kConnectTimeoutMs = 2000;
const QByteArray kShowRequest = "show\n";
}  // namespace

QString TSettingsSignal::ServerName()
{
    // Beside the single-instance lock when the session has a private runtime
    // directory, else in the temporary directory under the user's name.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
        return QString::fromLocal8Bit(runtime) + "/Kelvg-settings";
    return QString("Kelvg-settings-%1").arg(QString::fromStdString(OsUserName()));
}

bool TSettingsSignal::RequestShow()
{
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    socket.write(kShowRequest);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

TSettingsSignal::TSettingsSignal(QObject* parent) : QObject(parent) {}

bool TSettingsSignal::Listen()
{
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Only one collector per user runs (single-instance lock): a leftover socket is stale.
    QLocalServer::removeServer(ServerName());
    if (!server_->listen(ServerName())) return false;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (s->readAll().startsWith("show")) emit ShowRequested();
            });
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    return true;
}
