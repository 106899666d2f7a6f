// Operating-rate unit: client machines connected, installed memory and the
// host's memory in use per hour; the OR line.
#pragma once

#include <ctime>

#include "KvgDb.h"
#include "KvgErrLogOnce.h"
#include "KvgRecords.h"
#include "KvgStatFiles.h"
#include "KvgSysInfo.h"

namespace or_sql {
extern const char* const kLogins;
}

class TOperatingRateUnit {
public:
    static constexpr int kCpuMinStart = 100;

    TOperatingRateUnit(ICollectorDb& db, TStatFiles& files, ISysInfo& host)
        : db_(db), files_(files), host_(host) {}

    void ResetOR();
    // Closes the hour in progress (when there is one) and starts the next
    // from now; without the database the line has 0 logins.
    void HourOR(std::time_t now);
    void SampleOR_Mem();
    void SampleOR_CPU();
    void ReadOR_Hour(TORRecord& record);
    bool InsOR(const TORRecord& record);
    void DelOR(int cutoff);

    int PrevDate() const { return prevDate_; }
    int PrevHour() const { return prevHour_; }
    void SetPrev(int date, int hour) { prevDate_ = date; prevHour_ = hour; }
    bool PlatformIsNT() const { return platformIsNT_; }
    int MemUseMax() const { return memMax_; }
    int MemUseMin() const { return memMin_; }
    int CpuMax() const { return cpuMax_; }
    int CpuMin() const { return cpuMin_; }

private:
    // The samples of a new hour start from nothing.
    void StartHourSamples();

    ICollectorDb& db_;
    TStatFiles& files_;
    ISysInfo& host_;
    TErrLogOnce errors_;
    bool platformIsNT_ = true;
    int prevDate_ = 0;
    int prevHour_ = 0;
    int cpuMax_ = 0;
    int cpuMin_ = kCpuMinStart;
    int memMax_ = 0;
    int memMin_ = 999999999;
    int installedMax_ = 0;
};
