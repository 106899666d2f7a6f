#include "KvgStatFiles.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "KvCom.h"

namespace {
const char* const kUnreadableText =
    " cannot be read; it is left as it is and the hour's latch growth waits for it: ";
}  // namespace

TStatFiles::TStatFiles(std::string dataDir) : dataDir_(std::move(dataDir))
{
    AppendFn = [](const std::string& file, const std::string& line) {
        return AppendLine(file, line);
    };
    ReadFn = [](const std::string& file, std::string& content) {
        return ReadFileBytes(file, content);
    };
    SleepFn = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    PurgeFn = [](int cutoff, const std::string& dir, const std::string& prefix) {
        return DeleteOldDatFiles(cutoff, dir, "", prefix);
    };
}

std::string TStatFiles::FileName(const char* prefix, int date) const
{
    return MakeDatFileName(dataDir_, "", prefix, std::to_string(date));
}

bool TStatFiles::TryAddLatchGrowth(const TPendingWrite& write)
{
    std::string text;
    if (!ReadFn(write.File, text)) {
        // A missing file starts the day's totals; any other failure would
        // replace the day's totals with this hour's growth.
        if (errno != ENOENT) {
            unreadable_.Failed(write.Context, write.Detail,
                               write.File + kUnreadableText + std::strerror(errno));
            return false;
        }
        text.clear();
    }
    TLatchTotals totals = TLatchTotals::FromFileText(text);
    for (const TLatchGrowth& g : write.Growth) totals.Add(g.Name, g.Gets, g.Misses);
    totals.Sort();
    if (!WriteFileAtomic(write.File, totals.ToFileText())) return false;
    unreadable_.Succeeded(write.Context, write.Detail);
    return true;
}

bool TStatFiles::TryOnce(const TPendingWrite& write)
{
    return write.AddsLatches ? TryAddLatchGrowth(write) : AppendFn(write.File, write.Line);
}

bool TStatFiles::TryNow(const TPendingWrite& write, int attempts)
{
    for (int i = 0; i < attempts; ++i) {
        if (i > 0) SleepFn(kRetryDelayMs);
        if (TryOnce(write)) return true;
    }
    return false;
}

bool TStatFiles::HasPendingFor(const std::string& file) const
{
    return std::any_of(pending_.begin(), pending_.end(),
                       [&](const TPendingWrite& w) { return w.File == file; });
}

bool TStatFiles::Submit(TPendingWrite write)
{
    // Writes of one file keep their order: behind a kept one, wait in line.
    if (!HasPendingFor(write.File) && TryNow(write, kAttemptsPerTick)) return true;
    pending_.push_back(std::move(write));
    return false;
}

bool TStatFiles::AppendHourLine(const char* prefix, const char* context, int date, int hour,
                                const std::string& line)
{
    TPendingWrite write;
    write.File = FileName(prefix, date);
    write.Context = context;
    write.Detail = std::to_string(date) + std::to_string(hour);
    write.Line = line;
    return Submit(std::move(write));
}

bool TStatFiles::AddLatchGrowth(int date, std::vector<TLatchGrowth> growth)
{
    TPendingWrite write;
    write.File = FileName("ML", date);
    write.Context = "MUUpdML";
    write.Detail = std::to_string(date);
    write.AddsLatches = true;
    write.Growth = std::move(growth);
    return Submit(std::move(write));
}

void TStatFiles::RetryPass(bool countDown)
{
    std::deque<TPendingWrite> still;
    std::vector<std::string> blockedFiles;
    for (TPendingWrite& w : pending_) {
        const bool behind =
            std::find(blockedFiles.begin(), blockedFiles.end(), w.File) != blockedFiles.end();
        if (!behind && TryOnce(w)) continue;
        if (!behind && countDown && --w.TicksLeft <= 0) {
            GiveUp(w);
            continue;
        }
        blockedFiles.push_back(w.File);
        still.push_back(std::move(w));
    }
    pending_.swap(still);
}

void TStatFiles::RetryPending() { RetryPass(true); }

void TStatFiles::LastTry()
{
    for (int i = 0; i < kLastTryAttempts && !pending_.empty(); ++i) {
        if (i > 0) SleepFn(kLastTryDelayMs);
        RetryPass(false);
    }
    for (const TPendingWrite& w : pending_) GiveUp(w);
    pending_.clear();
}

void TStatFiles::GiveUp(const TPendingWrite& write) const
{
    // The figures survive in the log: the file name directly followed by
    // each line that did not reach it.
    if (!write.AddsLatches) {
        WriteErrLog(write.Context, write.Detail, write.File + write.Line);
        return;
    }
    for (const TLatchGrowth& g : write.Growth)
        WriteErrLog(write.Context, write.Detail, write.File + BuildMLLine(g.Name, g.Gets, g.Misses));
}

void TStatFiles::Purge(const char* prefix, const char* context, int cutoff)
{
    const std::string failed = PurgeFn(cutoff, dataDir_, prefix);
    if (!failed.empty()) WriteErrLog(context, std::to_string(cutoff), failed);
}
