// The collector without its face: the query component, the sampling units,
// the statistics files and the scheduler, wired together for one run. The
// settings window and the headless service each drive one through their
// timer, so both write the same files in the same way.
#pragma once

#include <memory>
#include <string>

#include "KelvsMU.h"
#include "KelvsOR.h"
#include "KvgClock.h"
#include "KvgOdbcDb.h"
#include "KvgScheduler.h"
#include "KvgStatFiles.h"
#include "KvgSysInfo.h"
#include "ODBCCall.h"

class TIniData;

class TCollectorEngine {
public:
    // dataDir: where the statistics files go.
    explicit TCollectorEngine(std::string dataDir);
    TCollectorEngine(const TCollectorEngine&) = delete;
    TCollectorEngine& operator=(const TCollectorEngine&) = delete;

    TQueryODBC qryODBC{"qryODBC"};

    // The scheduler's start state, the six settings and the data directory
    // (a failure to make it shows up later as failed writes in the error log).
    void Init(const TIniData& ini);
    void RefreshCheckPoint();
    // The logon at start was refused (reason logged): the ticks connect later.
    void StartDisconnected(const std::string& reason);
    // One tick; never throws.
    void Tick() { scheduler_->Tick(); }
    bool HasPendingWrites() const { return files_->PendingCount() > 0; }
    // The end of the run: kept writes get their last try.
    void FinishPendingWrites() { scheduler_->FinishPendingWrites(); }

    TCollectorScheduler& Scheduler() { return *scheduler_; }
    TMemoryUsageUnit& MemoryUnit() { return *mu_; }
    TOperatingRateUnit& OperatingRateUnit() { return *or_; }
    const std::string& DataDir() const { return dataDir_; }

private:
    std::string dataDir_;
    int oracleVersion_ = 0;
    TSystemClock clock_;
    THostSysInfo host_;
    std::unique_ptr<TOdbcCollectorDb> db_;
    std::unique_ptr<TStatFiles> files_;
    std::unique_ptr<TMemoryUsageUnit> mu_;
    std::unique_ptr<TOperatingRateUnit> or_;
    std::unique_ptr<TCollectorScheduler> scheduler_;
};
