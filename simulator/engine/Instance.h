// One connection to an instance file: creates the file on first use, keeps
// the shared state (instance start, last flush, runtime faults) current per
// statement, and registers the SQL functions the views are built on.
#pragma once

#include "OracleFunctions.h"
#include "SimEngine.h"
#include "SimKnobs.h"
#include "SqliteHandle.h"
#include "WorkloadModel.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace sim {

class Instance {
public:
    explicit Instance(const SimConfig& config);
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    SqliteDb& Db() { return db_; }
    const SimKnobs& Knobs() const { return knobs_; }
    const SimFaults& Faults() const { return faults_; }
    const WorkloadModel& Model() const { return *model_; }
    int64_t StartUnix() const { return startUnix_; }

    // Fixes the statement time (the wall clock unless overridden), rereads
    // the shared state and appends log switches that became due.
    void Refresh();
    // Pins the clock (tests, CounterAt); nullopt returns to the wall clock.
    void SetClockOverride(std::optional<int64_t> unixSeconds) { clockOverride_ = unixSeconds; }
    int64_t StatementUnix() const { return clock_.UnixSeconds; }
    int64_t StatementMinute() const;

    // Shared-state changes made by control statements.
    void Restart();
    void FlushSharedPool();
    void SetRuntimeFault(const std::string& key, const std::string& value);
    // The sessions of programs connected to this instance.
    struct ClientId {
        int64_t Sid = 0, Serial = 0;
    };
    // Kills a user session on behalf of the caller's session.
    enum class KillResult { Killed, NotFound, Background, OwnSession, MarkedForKill };
    KillResult KillSession(int64_t sid, int64_t serial, const ClientId& caller);
    ClientId RegisterClient(const std::string& user);
    void UnregisterClient(int64_t sid) noexcept;
    bool ClientKilled(int64_t sid);

private:
    void EnsureSchema();
    void AttachUserData(const std::string& instancePath);
    void CreateObjectViews();
    void ReadSharedState();
    void AppendDueLogSwitches();
    void RegisterInstanceFunctions();
    int64_t WallClock() const;

    SimConfig config_;
    SimKnobs knobs_;
    SimFaults configFaults_;
    SimFaults faults_;
    SqliteDb db_;
    StatementClock clock_;
    std::optional<int64_t> clockOverride_;
    int64_t startUnix_ = 0;
    int64_t flushUnix_ = 0;
    std::unique_ptr<WorkloadModel> model_;
};

// Schema name of the users' own tables (an attached second file).
extern const char* const kUserSchema;

// The instance file of a configuration: the Database key (or a per-DSN
// default), with a suffix naming the sizes when they are not the defaults.
std::string InstancePath(const SimConfig& config);

}  // namespace sim
