// SIGTERM and SIGINT as an event of the event loop: the handler only writes
// the signal's number into a pipe, and the loop reads it when the current
// tick is over, so a stop never cuts into a write.
#pragma once

#include <QObject>

class QSocketNotifier;

class TStopSignals : public QObject {
    Q_OBJECT
public:
    // One per process; the handlers stay until it is destroyed.
    explicit TStopSignals(QObject* parent = nullptr);
    ~TStopSignals() override;
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

signals:
    void StopRequested(int signal);

private slots:
    void ReadSignal();

private:
    QSocketNotifier* notifier_ = nullptr;
};
