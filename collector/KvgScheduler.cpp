#include "KvgScheduler.h"

#include <exception>

#include "KvCom.h"
#include "KvIni.h"
#include "KvText.h"
#include "KvgCatchUp.h"
#include "KvgClock.h"

namespace {
const char* const kTickContext = "KVGevtTimerTimer";
constexpr int kFirstTickYear = 1999;  // "99/01/01 00:00:00": the first tick is a new day
const char* const kTimeFormat = "%Y/%m/%d %H:%M:%S";
}  // namespace

void TCollectorScheduler::Init()
{
    lastTick_ = MakeLocalTime(kFirstTickYear, 1, 1);
    const std::time_t now = clock_.Now();
    lastRun_.fill(now);
}

template <typename Body>
void TCollectorScheduler::Guarded(const char* step, Body body)
{
    try {
        body();
    } catch (const TDbError& e) {
        WriteErrLog(kTickContext, step, e.ErrorMessage);
    } catch (const std::exception& e) {
        WriteErrLog(kTickContext, step, e.what());
    } catch (...) {
        WriteErrLog(kTickContext, step, "unknown failure");
    }
}

void TCollectorScheduler::Tick()
{
    const std::time_t now = clock_.Now();
    Guarded("Reconnect", [&] { Reconnect(now); });
    const bool newDay = FormatDate(lastTick_, "%Y%m%d") != FormatDate(now, "%Y%m%d");
    const bool newHour = FormatDate(lastTick_, "%Y%m%d%H") != FormatDate(now, "%Y%m%d%H");
    // The purge runs first: a line of the day before that this tick writes
    // (its last hour, or one kept back) stays until the next day change.
    if (newDay) Guarded("Day", [&] { DayStep(now); });
    Guarded("Pending", [&] { files_.RetryPending(); });
    // The memory-usage hour is closed at the first tick with the database
    // that may close it; the operating-rate hour at the hour change itself.
    Guarded("HourMU", [&] { MemoryHourStep(now); });
    if (newHour) Guarded("HourOR", [&] { or_.HourOR(now); });
    Samplers(now);
    lastTick_ = now;
    if (db_.ConnectionLost())
        NoteConnectionLoss(now);
    else
        ConfirmConnection();
}

void TCollectorScheduler::FinishPendingWrites() { files_.LastTry(); }

void TCollectorScheduler::Reconnect(std::time_t now)
{
    if (!db_.ConnectionLost()) return;
    NoteConnectionLoss(now);
    if (!db_.Reconnect()) return;
    if (checkPointDue_ && Hooks.RefreshCheckPoint) {
        checkPointDue_ = false;
        Guarded("CheckPoint", Hooks.RefreshCheckPoint);
    }
}

void TCollectorScheduler::StartDisconnected()
{
    // The refusal at start is already in the error log.
    lostSince_ = clock_.Now();
    checkPointDue_ = true;
}

void TCollectorScheduler::NoteConnectionLoss(std::time_t now)
{
    if (lostSince_) return;
    lostSince_ = now;
    std::string text = "connection to the database lost; reconnecting";
    const std::string why = db_.LossMessage();
    if (!why.empty()) text += ": " + why;
    WriteErrLog(kTickContext, "Connection", text);
}

void TCollectorScheduler::ConfirmConnection()
{
    if (!lostSince_) return;
    WriteErrLog(kTickContext, "Connection",
                "reconnected; the connection had been lost since " + FormatDate(*lostSince_, kTimeFormat));
    lostSince_.reset();
}

void TCollectorScheduler::DayStep(std::time_t now)
{
    if (Hooks.DeleteOldErrLogs) Guarded("DelErrLog", Hooks.DeleteOldErrLogs);
    const int cutoff =
        StrToIntOrZero(AddDaysToDate(FormatDate(now, "%Y%m%d"), -Settings.CMNKD));
    Guarded("DelMU", [&] { mu_.DelMU(cutoff); });
    Guarded("DelML", [&] { mu_.DelML(cutoff); });
    Guarded("DelOR", [&] { or_.DelOR(cutoff); });
    if (Hooks.RefreshCheckPoint && !db_.ConnectionLost())
        Guarded("CheckPoint", Hooks.RefreshCheckPoint);
    else if (Hooks.RefreshCheckPoint)
        checkPointDue_ = true;  // the day's refresh follows the reconnect
}

void TCollectorScheduler::MemoryHourStep(std::time_t now)
{
    const TMURecord& hour = mu_.MUPrev();
    if (hour.Date > 0) {
        switch (HourCloseAt(hour.Date, hour.Hour, now)) {
        case THourClose::InProgress: return;
        case THourClose::Due: break;
        case THourClose::TooLate: LeaveOutHour(now); break;
        }
    }
    // A lost connection is no restart of the instance: the hour keeps its
    // first reading, maxima and samples and waits for its closing reading
    // (or, when there is none in progress, for its first).
    if (db_.ConnectionLost()) return;
    mu_.HourMU(now);
}

void TCollectorScheduler::LeaveOutHour(std::time_t now)
{
    const TMURecord& hour = mu_.MUPrev();
    const std::time_t end =
        MakeLocalTime(hour.Date / 10000, hour.Date / 100 % 100, hour.Date % 100, hour.Hour + 1);
    std::string why;
    if (lostSince_)
        why = "the database could not be reached since " + FormatDate(*lostSince_, kTimeFormat);
    else if (now < end)
        why = "the clock went back to " + FormatDate(now, kTimeFormat);
    else
        why = "no tick ran between " + FormatDate(lastTick_, kTimeFormat) + " and " + FormatDate(now, kTimeFormat);
    WriteErrLog("MUHourMU", std::to_string(hour.Date) + std::to_string(hour.Hour),
                "hour left out of the MU and ML files: its closing reading was due by " +
                    FormatDate(end + kCatchUpSeconds, kTimeFormat) + ", but " + why);
    mu_.ResetMU();
}

void TCollectorScheduler::Samplers(std::time_t now)
{
    for (int i = 0; i < kSamplerCount; ++i) {
        if (DiffSeconds(now, lastRun_[i]) < Settings.Interval[i]) continue;
        lastRun_[i] = now;
        if (db_.ConnectionLost() && i != samORCUR) continue;
        switch (i) {
        case samMUSDP: Guarded("MUSDP", [&] { mu_.SampleMU_SP(); }); break;
        case samMULGB: Guarded("MULGB", [&] { mu_.SampleMU_LB(); }); break;
        case samORCUR: Guarded("ORCUR", [&] { or_.SampleOR_Mem(); }); break;
        default: break;  // ORFRM, ORPGO: nothing is sampled, only the interval advances
        }
    }
}
