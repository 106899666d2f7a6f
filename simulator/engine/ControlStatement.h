// ALTER SYSTEM statements of the instance:
//   ALTER SYSTEM KILL SESSION 'sid,serial' [IMMEDIATE]
//   ALTER SYSTEM FLUSH SHARED_POOL
//   ALTER SYSTEM CHECKPOINT | SWITCH LOGFILE        (accepted, no effect)
// and the simulator's own controls (not Oracle):
//   ALTER SYSTEM RESTART INSTANCE                   new start time: counters restart, sessions drop
//   ALTER SYSTEM SET SIM_<FAULTKEY> = 'value'       runtime fault for every process ('' clears it)
#pragma once

#include <string>

namespace sim {

class Instance;

// True for the simulator's own control statements, which faults never hit.
bool IsSimulatorControl(const std::string& oracleSql);

// Runs an ALTER SYSTEM statement; throws SimError (ORA-01031 for users
// without DBA rights, ORA-00026/00030 for bad kills, ORA-02065 otherwise).
void RunAlterSystem(Instance& instance, const std::string& oracleSql, bool isDba);

}  // namespace sim
