#include "KvgStatFiles.h"

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "KvCom.h"

TStatFiles::TStatFiles(std::string dataDir) : dataDir_(std::move(dataDir))
{
    AppendFn = [](const std::string& file, const std::string& line) {
        return AppendLine(file, line);
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

bool TStatFiles::TryAppend(const std::string& file, const std::string& line, int attempts)
{
    for (int i = 0; i < attempts; ++i) {
        if (i > 0) SleepFn(kAppendRetryDelayMs);
        if (AppendFn(file, line)) return true;
    }
    return false;
}

bool TStatFiles::HasPendingFor(const std::string& file) const
{
    for (const TPendingLine& p : pending_)
        if (p.File == file) return true;
    return false;
}

bool TStatFiles::AppendHourLine(const char* prefix, const char* context, int date, int hour,
                                const std::string& line)
{
    const std::string file = FileName(prefix, date);
    // Lines of one file keep their order: behind a kept line, wait in line.
    if (!HasPendingFor(file) && TryAppend(file, line, kAppendAttemptsPerTick)) return true;
    pending_.push_back({file, line, context, std::to_string(date) + std::to_string(hour),
                        kPendingTickLimit});
    return false;
}

void TStatFiles::RetryPending()
{
    std::deque<TPendingLine> still;
    std::vector<std::string> blockedFiles;
    for (TPendingLine& p : pending_) {
        bool blocked = false;
        for (const std::string& f : blockedFiles) blocked = blocked || f == p.File;
        if (!blocked && TryAppend(p.File, p.Line, 1)) continue;
        if (!blocked && --p.TicksLeft <= 0) {
            WriteErrLog(p.Context, p.Detail, p.File + p.Line);
            continue;
        }
        blockedFiles.push_back(p.File);
        still.push_back(std::move(p));
    }
    pending_.swap(still);
}

TLatchTotals TStatFiles::ReadLatchTotals(int date) const
{
    std::ifstream in(FileName("ML", date), std::ios::binary);
    if (!in) return TLatchTotals();
    std::ostringstream text;
    text << in.rdbuf();
    return TLatchTotals::FromFileText(text.str());
}

bool TStatFiles::WriteLatchTotals(int date, TLatchTotals totals)
{
    totals.Sort();
    const std::string file = FileName("ML", date);
    const std::string text = totals.ToFileText();
    // A viewer reading the file holds it for a moment: wait for it as an
    // append does, or the hour's latch growth would be lost for the day.
    for (int i = 0; i < kAppendAttemptsPerTick; ++i) {
        if (i > 0) SleepFn(kAppendRetryDelayMs);
        if (WriteFileAtomic(file, text)) return true;
        if (errno != EWOULDBLOCK) return false;
    }
    return false;
}

void TStatFiles::Purge(const char* prefix, const char* context, int cutoff)
{
    const std::string failed = PurgeFn(cutoff, dataDir_, prefix);
    if (!failed.empty()) WriteErrLog(context, std::to_string(cutoff), failed);
}
