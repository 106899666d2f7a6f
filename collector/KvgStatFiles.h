// The collector's side of the per-day statistics files in its data
// directory: hourly appends and latch-total updates that wait for a viewer
// holding the file, the atomic rewrite of the latch totals, and the purge.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "KvgErrLogOnce.h"
#include "KvgLines.h"

class TStatFiles {
public:
    // Attempts within one tick before a write is kept for a later tick.
    static constexpr int kAttemptsPerTick = 5;
    static constexpr int kRetryDelayMs = 40;
    // Ticks (of 8 s) a refused write is kept before it is given up and logged.
    static constexpr int kPendingTickLimit = 75;
    // The last try at the end of the program: three seconds in all.
    static constexpr int kLastTryAttempts = 30;
    static constexpr int kLastTryDelayMs = 100;

    explicit TStatFiles(std::string dataDir);

    const std::string& DataDir() const { return dataDir_; }
    std::string FileName(const char* prefix, int date) const;

    // Appends an hourly line (context "MUInsMU"/"ORInsOR" for the error log).
    // A refused append is retried briefly, then kept and retried at later
    // ticks in order; the error log gets the entry only when it is given up.
    // Returns true when the line is on disk now.
    bool AppendHourLine(const char* prefix, const char* context, int date, int hour,
                        const std::string& line);
    // Adds an hour's latch growth to the totals of the day's ML file (which
    // is written even when there is no growth). A refused rewrite waits like
    // an append. A file that exists but cannot be read is left as it is: the
    // growth waits for it, and the error log says so once.
    bool AddLatchGrowth(int date, std::vector<TLatchGrowth> growth);
    // Retries kept writes; called at every tick.
    void RetryPending();
    // At the end of the program: kept writes are tried for a few seconds
    // more; each one still refused goes into the error log with its figures.
    void LastTry();
    size_t PendingCount() const { return pending_.size(); }

    // Purges prefix files dated 1..cutoff; logs "<context>(cutoff)>> name" on failure.
    void Purge(const char* prefix, const char* context, int cutoff);

    // Test seams: the append primitive, the whole-file read (false with errno
    // set) and the pause between attempts.
    std::function<bool(const std::string& file, const std::string& line)> AppendFn;
    std::function<bool(const std::string& file, std::string& content)> ReadFn;
    std::function<void(int ms)> SleepFn;
    // (cutoff, directory, prefix) -> name of the file that could not be deleted, or "".
    std::function<std::string(int, const std::string&, const std::string&)> PurgeFn;

private:
    // A write that is not on disk yet: a line to append, or latch growth to
    // add to the day's totals.
    struct TPendingWrite {
        std::string File;
        std::string Context;
        std::string Detail;
        bool AddsLatches = false;
        std::string Line;
        std::vector<TLatchGrowth> Growth;
        int TicksLeft = kPendingTickLimit;
    };
    bool TryOnce(const TPendingWrite& write);
    bool TryAddLatchGrowth(const TPendingWrite& write);
    bool TryNow(const TPendingWrite& write, int attempts);
    bool HasPendingFor(const std::string& file) const;
    bool Submit(TPendingWrite write);
    // One pass over the kept writes in order; a write blocked behind an
    // earlier one of its file waits. countDown: a refusal uses up a tick.
    void RetryPass(bool countDown);
    void GiveUp(const TPendingWrite& write) const;

    std::string dataDir_;
    std::deque<TPendingWrite> pending_;
    TErrLogOnce unreadable_;
};
