#include "KvgScheduler.h"

#include <exception>

#include "KvCom.h"
#include "KvIni.h"
#include "KvText.h"

namespace {
const char* const kTickContext = "KVGevtTimerTimer";
constexpr int kFirstTickYear = 1999;  // "99/01/01 00:00:00": the first tick is a new day
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
    if (db_.ConnectionLost()) NoteConnectionLoss();
}

bool TCollectorScheduler::ReconnectIfLost(std::time_t now)
{
    if (!db_.ConnectionLost()) return false;
    NoteConnectionLoss();
    if (!db_.Reconnect()) return false;
    lossLogged_ = false;
    WriteErrLog(kTickContext, "Connection", "reconnected");
    mu_.HourMU(now);
    or_.HourOR(now);
    return true;
}

void TCollectorScheduler::NoteConnectionLoss()
{
    if (lossLogged_) return;
    lossLogged_ = true;
    WriteErrLog(kTickContext, "Connection", "connection to the database lost; reconnecting");
    mu_.ResetMU();
    or_.ResetHour();
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
