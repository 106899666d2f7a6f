// The collector's side of the per-day statistics files in its data
// directory: hourly appends that survive a viewer holding the file, the
// atomic rewrite of the latch totals, and the retention purge.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "KvgLines.h"

class TStatFiles {
public:
    // Attempts within one tick before a line is kept for a later tick.
    static constexpr int kAppendAttemptsPerTick = 5;
    static constexpr int kAppendRetryDelayMs = 40;
    // Ticks (of 8 s) a refused line is kept before it is given up and logged.
    static constexpr int kPendingTickLimit = 75;

    explicit TStatFiles(std::string dataDir);

    const std::string& DataDir() const { return dataDir_; }
    std::string FileName(const char* prefix, int date) const;

    // Appends an hourly line (context "MUInsMU"/"ORInsOR" for the error log).
    // A refused append is retried briefly, then kept and retried at later
    // ticks in order; the error log gets the entry only when it is given up.
    // Returns true when the line is on disk now.
    bool AppendHourLine(const char* prefix, const char* context, int date, int hour,
                        const std::string& line);
    // Retries kept lines; called at the start of every tick.
    void RetryPending();
    size_t PendingCount() const { return pending_.size(); }

    // Reads the day's latch totals (empty when the file is missing).
    TLatchTotals ReadLatchTotals(int date) const;
    // Sorts and replaces the day's latch file atomically, retried briefly while a
    // reader holds it; false on failure.
    bool WriteLatchTotals(int date, TLatchTotals totals);

    // Purges prefix files dated 1..cutoff; logs "<context>(cutoff)>> name" on failure.
    void Purge(const char* prefix, const char* context, int cutoff);

    // Test seams: the append primitive and the pause between attempts.
    std::function<bool(const std::string& file, const std::string& line)> AppendFn;
    std::function<void(int ms)> SleepFn;
    // (cutoff, directory, prefix) -> name of the file that could not be deleted, or "".
    std::function<std::string(int, const std::string&, const std::string&)> PurgeFn;

private:
    struct TPendingLine {
        std::string File;
        std::string Line;
        std::string Context;
        std::string Detail;
        int TicksLeft;
    };
    bool TryAppend(const std::string& file, const std::string& line, int attempts);
    bool HasPendingFor(const std::string& file) const;

    std::string dataDir_;
    std::deque<TPendingLine> pending_;
};
