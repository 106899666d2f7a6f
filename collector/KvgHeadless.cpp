#include "KvgHeadless.h"

#include <QCoreApplication>
#include <QTimer>

#include "KvgEngine.h"

THeadlessCollector::THeadlessCollector(TCollectorEngine& engine, QObject* parent)
    : QObject(parent), engine_(engine), evtTimer_(new QTimer(this))
{
    evtTimer_->setInterval(kTickIntervalMs);
    connect(evtTimer_, &QTimer::timeout, this, &THeadlessCollector::evtTimerTimer);
}

void THeadlessCollector::Start() { evtTimer_->start(); }

void THeadlessCollector::evtTimerTimer()
{
    evtTimer_->stop();
    engine_.Tick();  // never throws: failures are logged inside
    if (!stopping_) evtTimer_->start();
}

void THeadlessCollector::Stop()
{
    if (stopping_) return;
    stopping_ = true;
    evtTimer_->stop();
    if (engine_.HasPendingWrites()) engine_.FinishPendingWrites();
    QCoreApplication::quit();
}
