// The collector as a service: the engine's 8-second tick on a plain event
// loop (QCoreApplication: no display, no tray, no window), ended by
// SIGTERM or SIGINT after the last try of the writes a reader kept back.
#pragma once

#include <QObject>

class QTimer;
class TCollectorEngine;

class THeadlessCollector : public QObject {
    Q_OBJECT
public:
    explicit THeadlessCollector(TCollectorEngine& engine, QObject* parent = nullptr);

    // Starts the ticks (the first one 8 seconds from now).
    void Start();

public slots:
    void evtTimerTimer();
    // Stops ticking, gives kept writes their last try and ends the event loop.
    void Stop();

private:
    TCollectorEngine& engine_;
    QTimer* evtTimer_;
    bool stopping_ = false;
};
