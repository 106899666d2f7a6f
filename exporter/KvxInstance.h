// One watched instance: its kept connection, the backoff between connection
// attempts, and the reading of every group of figures through the
// collector's units and the exporter's own statements. One worker at a time
// uses an instance.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "KelvsMU.h"
#include "KelvsOR.h"
#include "KvgErrLogOnce.h"
#include "KvgOdbcDb.h"
#include "KvgStatFiles.h"
#include "KvgSysInfo.h"
#include "KvxCapturingDb.h"
#include "KvxConfig.h"
#include "KvxReading.h"
#include "ODBCCall.h"

using TSteadyTime = std::chrono::steady_clock::time_point;

inline constexpr TMillis kFirstBackoff{1000};

// The pause after the given number of failed attempts in a row: none before
// the first, then doubling from kFirstBackoff up to max.
TMillis BackoffAfter(int failures, TMillis max);

// The host is not ours to report: the operating-rate unit gets no figures.
class TNoHostFigures : public ISysInfo {
public:
    bool PlatformIsNT() override { return false; }
    double GetMemUse() override { return 0; }
    int GetCPUUse() override { return 0; }
    double TotalPhysicalMemory() override { return 0; }
};

class TWatchedInstance {
public:
    TWatchedInstance(const TInstanceConfig& config, const std::string& password, TMillis backoffMax);
    TWatchedInstance(const TWatchedInstance&) = delete;
    TWatchedInstance& operator=(const TWatchedInstance&) = delete;

    const std::string& Name() const { return name_; }
    // Connects when there is no connection and an attempt is due, then reads
    // every group of figures.
    TInstanceReading Collect();
    // Connects when there is no connection and an attempt is due (start-up).
    void ConnectIfDue();

private:
    enum class TLink { Down, Up };

    bool TryConnect(std::string& error);
    void NoteFailure(const std::string& error, bool refusedCredentials);
    void ReadFigures(TInstanceReading& reading);
    void ReleaseStatements();
    // Runs one group of the exporter's own statements; false when it failed.
    template <typename Body>
    bool ReadGroup(TFigureGroup group, Body body);
    std::string NotConnectedText(TSteadyTime now) const;

    std::string name_;
    TMillis backoffMax_;

    TQueryODBC query_{"qryODBC"};
    std::unique_ptr<TOdbcCollectorDb> connection_;  // one per connection made
    TCapturingDb db_;
    TStatFiles noFiles_{""};  // the units' file side, never used here
    TNoHostFigures noHost_;
    TMemoryUsageUnit memoryUnit_{db_, noFiles_};
    TOperatingRateUnit rateUnit_{db_, noFiles_, noHost_};
    TErrLogOnce groupErrors_;

    TLink link_ = TLink::Down;
    int oracleVersion_ = 0;
    int failures_ = 0;  // failed attempts or lost connections in a row
    TSteadyTime nextAttempt_{};
    std::string lastError_;
    std::string loggedError_;  // the connection failure last written to the log
};
