// The collector's 8-second tick: reconnect, day change, kept writes, hour
// change and interval samplers, in that order, all seeing one "now" from the
// clock seam. Qt's timer only calls Tick; tests call it directly.
#pragma once

#include <array>
#include <ctime>
#include <functional>
#include <optional>

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
    // The end of the program (from the menu, or any other orderly end): kept
    // writes get a last try of a few seconds; each one still refused goes
    // into the error log with its figures.
    void FinishPendingWrites();

    TCollectorSettings Settings;
    TTickHooks Hooks;

    std::time_t LastTick() const { return lastTick_; }
    std::time_t LastRun(int sampler) const { return lastRun_[sampler]; }
    // The connection counts as lost: its loss is logged and the reconnect
    // has not yet lasted a tick.
    bool Disconnected() const { return lostSince_.has_value(); }
    // The logon at start was refused and logged: connect at the ticks.
    void StartDisconnected();

private:
    template <typename Body>
    void Guarded(const char* step, Body body);
    void Reconnect(std::time_t now);
    void NoteConnectionLoss(std::time_t now);
    void ConfirmConnection();
    void DayStep(std::time_t now);
    void MemoryHourStep(std::time_t now);
    void LeaveOutHour(std::time_t now);
    void Samplers(std::time_t now);

    IClock& clock_;
    ICollectorDb& db_;
    TMemoryUsageUnit& mu_;
    TOperatingRateUnit& or_;
    TStatFiles& files_;
    std::time_t lastTick_ = 0;
    std::array<std::time_t, kSamplerCount> lastRun_{};
    // The connection: connected while empty, else lost since that tick. A
    // link that comes back counts as connected once a tick has run to its
    // end on it, so a link that drops again at once leaves one "lost" entry
    // in the error log, not one pair per tick.
    std::optional<std::time_t> lostSince_;
    bool checkPointDue_ = false;  // a refresh was skipped for want of a connection
};
