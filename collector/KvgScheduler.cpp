#include "KvgScheduler.h"

#include <exception>

#include "KvCom.h"
#include "KvIni.h"
#include "KvText.h"
#include "KvgClock.h"

namespace {
const char* const kTickContext = "KVGevtTimerTimer";
constexpr int kFirstTickYear = 1999;
constexpr long kSecondsPerHour = 3600;
// How late after its end an hour cut off by an outage may still be closed.
constexpr long kLateCloseSeconds = 300;  // "99/01/01 00:00:00": the first tick is a new day
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
    Guarded("Pending", [&] { files_.RetryPending(); });
    bool rebased = false;
    Guarded("Reconnect", [&] { rebased = ReconnectIfLost(now); });

    if (FormatDate(lastTick_, "%Y%m%d") != FormatDate(now, "%Y%m%d"))
        Guarded("Day", [&] { DayStep(now); });
    // A fresh baseline was just taken: the hour in progress starts now.
    if (!rebased && FormatDate(lastTick_, "%Y%m%d%H") != FormatDate(now, "%Y%m%d%H"))
        Guarded("Hour", [&] { HourStep(now); });
    Samplers(now);
    lastTick_ = now;
    if (db_.ConnectionLost()) {
        NoteConnectionLoss();
    } else if (reconnectUnconfirmed_) {
        // Only a connection that lasted a whole tick counts: a link that
        // drops again at once leaves one "lost" entry, not one pair per tick.
        reconnectUnconfirmed_ = false;
        lossLogged_ = false;
        WriteErrLog(kTickContext, "Connection", "reconnected");
    }
}

bool TCollectorScheduler::ReconnectIfLost(std::time_t now)
{
    if (!db_.ConnectionLost()) return false;
    NoteConnectionLoss();
    if (!db_.Reconnect()) return false;
    reconnectUnconfirmed_ = true;
    CatchUpAfterReconnect(now);
    if (checkPointDue_ && Hooks.RefreshCheckPoint && !db_.ConnectionLost()) {
        checkPointDue_ = false;
        Guarded("CheckPoint", Hooks.RefreshCheckPoint);
    }
    return true;
}

void TCollectorScheduler::CatchUpAfterReconnect(std::time_t now)
{
    // The hour just before now lost its hour change to the outage: close it
    // with the readings taken now, a few ticks late, rather than lose it.
    // Any other hour in progress restarts from now: its readings are either
    // too old to close it or may come from an instance restarted meanwhile.
    if (!ClosesLate(mu_.MUPrev().Date, mu_.MUPrev().Hour, now)) mu_.ResetMU();
    mu_.HourMU(now);
    if (!ClosesLate(or_.PrevDate(), or_.PrevHour(), now)) or_.ResetHour();
    or_.HourOR(now);
}

bool TCollectorScheduler::ClosesLate(int date, int hour, std::time_t now)
{
    if (date <= 0) return false;
    const std::time_t start = MakeLocalTime(date / 10000, date / 100 % 100, date % 100, hour);
    const int today = LocalDateInt(now);
    const std::time_t nowHour = MakeLocalTime(today / 10000, today / 100 % 100, today % 100, LocalHour(now));
    if (start < 0 || nowHour < 0) return false;
    return nowHour - start == kSecondsPerHour && now - nowHour <= kLateCloseSeconds;
}

void TCollectorScheduler::StartDisconnected()
{
    // The refusal at start is already in the error log.
    lossLogged_ = true;
    checkPointDue_ = true;
}

void TCollectorScheduler::NoteConnectionLoss()
{
    if (lossLogged_) return;
    lossLogged_ = true;
    std::string text = "connection to the database lost; reconnecting";
    const std::string why = db_.LossMessage();
    if (!why.empty()) text += ": " + why;
    WriteErrLog(kTickContext, "Connection", text);
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

void TCollectorScheduler::HourStep(std::time_t now)
{
    if (db_.ConnectionLost()) return;
    Guarded("HourMU", [&] { mu_.HourMU(now); });
    Guarded("HourOR", [&] { or_.HourOR(now); });
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
