#include "KelvsOR.h"

#include <cmath>

#include "KvCom.h"
#include "KvgClock.h"
#include "KvgLines.h"

namespace or_sql {
const char* const kLogins =
    " SELECT COUNT(*) FROM (         SELECT COUNT(*) FROM V$SESSION         WHERE MACHINE IS "
    "NOT NULL         AND TYPE <> ?         GROUP BY MACHINE        ) ";
}

namespace {
const std::string kParamBackground = "BACKGROUND";
constexpr double kBytesPerKilobyte = 1024.0;
}  // namespace

void TOperatingRateUnit::ResetOR()
{
    platformIsNT_ = host_.PlatformIsNT();
    prevDate_ = 0;
    prevHour_ = 0;
    StartHourSamples();
}

void TOperatingRateUnit::StartHourSamples()
{
    cpuMax_ = 0;
    cpuMin_ = kCpuMinStart;
    memMax_ = 0;
    memMin_ = kMemoryUnknownMin;
}

void TOperatingRateUnit::SampleOR_Mem()
{
    if (!platformIsNT_) {
        memMax_ = 0;
        memMin_ = 0;
        return;
    }
    const int m = static_cast<int>(std::lround(host_.GetMemUse() / kBytesPerKilobyte));
    if (m > memMax_) memMax_ = m;
    if (m < memMin_) memMin_ = m;
}

void TOperatingRateUnit::SampleOR_CPU()
{
    const int c = host_.GetCPUUse();
    if (c > cpuMax_) cpuMax_ = c;
    if (c < cpuMin_) cpuMin_ = c;
}

void TOperatingRateUnit::ReadOR_Hour(TORRecord& record)
{
    if (!db_.ConnectionLost()) {
        try {
            db_.Run(or_sql::kLogins, &kParamBackground);
            // No row or no number: 0 logins.
            if (db_.Fetch()) record.Logins = static_cast<int>(TextToNumber(db_.Column(1)));
            errors_.Succeeded("ORReadOR_Hour", "Login");
        } catch (const TDbError& e) {
            // A lost connection is the scheduler's to report, once.
            if (!e.IsConnectionLoss()) errors_.Failed("ORReadOR_Hour", "Login", e.ErrorMessage);
        }
    }
    record.CpuMax = cpuMax_;
    record.CpuMin = cpuMin_;
    const int installed = static_cast<int>(
        std::lround(host_.TotalPhysicalMemory() / kBytesPerKilobyte / kBytesPerKilobyte));
    if (installed > installedMax_) installedMax_ = installed;
    record.InstalledMemory = installedMax_;
    record.MemUseMax = platformIsNT_ ? memMax_ : 0;
    record.MemUseMin = platformIsNT_ ? memMin_ : 0;
}

void TOperatingRateUnit::HourOR(std::time_t now)
{
    TORRecord fresh;
    fresh.Date = LocalDateInt(now);
    fresh.Hour = LocalHour(now);
    // Without the database the line is still written, with 0 logins: the
    // host's memory samples of the hour are known all the same.
    ReadOR_Hour(fresh);
    if (prevDate_ > 0) {
        try {
            InsOR(fresh);
        } catch (const std::exception& e) {
            // A failed write loses this hour's line, never the next hour's baseline.
            WriteErrLog("ORInsOR", std::to_string(prevDate_) + std::to_string(prevHour_), e.what());
        }
    }
    prevDate_ = fresh.Date;
    prevHour_ = fresh.Hour;
    StartHourSamples();
}

bool TOperatingRateUnit::InsOR(const TORRecord& record)
{
    return files_.AppendHourLine("OR", "ORInsOR", prevDate_, prevHour_,
                                 BuildORLine(prevHour_, record));
}

void TOperatingRateUnit::DelOR(int cutoff) { files_.Purge("OR", "ORDelOR", cutoff); }
