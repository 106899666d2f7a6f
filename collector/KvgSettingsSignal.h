// A second start with --settings asks the running collector to show its
// window (the way in on desktops without a system tray).
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

class TSettingsSignal : public QObject {
    Q_OBJECT
public:
    // Per-user name of the collector's local socket.
    static QString ServerName();
    // Sends the request; false when no collector listens.
    static bool RequestShow();

    explicit TSettingsSignal(QObject* parent = nullptr);
    bool Listen();

signals:
    void ShowRequested();

private:
    QLocalServer* server_ = nullptr;
};
