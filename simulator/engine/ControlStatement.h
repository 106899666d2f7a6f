// ALTER SYSTEM statements of the instance:
//   ALTER SYSTEM KILL SESSION 'sid,serial' [IMMEDIATE]
//   ALTER SYSTEM FLUSH SHARED_POOL
//   ALTER SYSTEM CHECKPOINT | SWITCH LOGFILE        (accepted, no effect)
// and the simulator's own controls (not Oracle):
//   ALTER SYSTEM RESTART INSTANCE                   new start time: counters restart, sessions drop
//   ALTER SYSTEM SET SIM_<FAULTKEY> = 'value'       runtime fault for every process ('' clears it)
#pragma once

#include "Instance.h"

#include <string>

namespace sim {

// True for the simulator's own control statements, which faults never hit.
bool IsSimulatorControl(const std::string& oracleSql);

// Runs an ALTER SYSTEM statement for the caller's session; throws SimError
// (ORA-01031 for users without DBA rights, ORA-00026/00027/00030/00031 for
// refused kills, ORA-02065 otherwise).
void RunAlterSystem(Instance& instance, const std::string& oracleSql, bool isDba, const Instance::ClientId& caller);

}  // namespace sim
