// The collector's 8-second tick: day change, hour change and interval
// samplers, in that order, all seeing one "now" from the clock seam.
// Qt's timer only calls Tick; tests call it directly.
#pragma once

#include <array>
#include <ctime>
#include <functional>

#include "KelvsMU.h"
#include "KelvsOR.h"
#include "KvgClock.h"
#include "KvgDb.h"
#include "KvgSettings.h"
#include "KvgStatFiles.h"

inline constexpr int kTickIntervalMs = 8000;

// Housekeeping outside the sampling units.
struct TTickHooks {
    std::function<void()> DeleteOldErrLogs;
    std::function<void()> RefreshCheckPoint;  // only called while connected
};

class TCollectorScheduler {
public:
    TCollectorScheduler(IClock& clock, ICollectorDb& db, TMemoryUsageUnit& mu,
                        TOperatingRateUnit& orUnit, TStatFiles& files)
        : clock_(clock), db_(db), mu_(mu), or_(orUnit), files_(files) {}

    // LastTick := 1999-01-01 00:00:00, every LastRun := now.
    void Init();
    // One tick. Never throws: a failure of one step is logged and the next runs.
    void Tick();

    TCollectorSettings Settings;
    TTickHooks Hooks;

    std::time_t LastTick() const { return lastTick_; }
    std::time_t LastRun(int sampler) const { return lastRun_[sampler]; }
    bool Disconnected() const { return lossLogged_; }
    // The logon at start was refused and logged: connect at the ticks.
    void StartDisconnected();
    // Whether the hour in progress (yyyymmdd date, hour) is the one before
    // now's and its end is recent enough to close it with readings of now.
    static bool ClosesLate(int date, int hour, std::time_t now);

private:
    template <typename Body>
    void Guarded(const char* step, Body body);
    bool ReconnectIfLost(std::time_t now);
    void CatchUpAfterReconnect(std::time_t now);
    void DayStep(std::time_t now);
    void HourStep(std::time_t now);
    void Samplers(std::time_t now);
    void NoteConnectionLoss();

    IClock& clock_;
    ICollectorDb& db_;
    TMemoryUsageUnit& mu_;
    TOperatingRateUnit& or_;
    TStatFiles& files_;
    std::time_t lastTick_ = 0;
    std::array<std::time_t, kSamplerCount> lastRun_{};
    bool lossLogged_ = false;
    bool reconnectUnconfirmed_ = false;  // reconnected; "reconnected" logged once it lasts a tick
    bool checkPointDue_ = false;         // a refresh was skipped for want of a connection
};
