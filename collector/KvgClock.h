// The collector's one source of the current local date-time. The scheduler
// and the sampling units ask it, so tests can drive days of ticks in seconds.
#pragma once

#include <ctime>

class IClock {
public:
    virtual ~IClock() = default;
    virtual std::time_t Now() const = 0;
};

class TSystemClock : public IClock {
public:
    std::time_t Now() const override { return std::time(nullptr); }
};

// A clock that only moves when told to (tests, benchmarks, maintenance runs).
class TManualClock : public IClock {
public:
    explicit TManualClock(std::time_t start = 0) : now_(start) {}
    std::time_t Now() const override { return now_; }
    void Set(std::time_t t) { now_ = t; }
    void Advance(long seconds) { now_ += seconds; }

private:
    std::time_t now_;
};

// Local date-time from its parts (month 1..12); -1 when not representable.
std::time_t MakeLocalTime(int year, int month, int day, int hour = 0, int minute = 0,
                          int second = 0);
// yyyymmdd and hour (0..23) of a local time.
int LocalDateInt(std::time_t t);
int LocalHour(std::time_t t);
