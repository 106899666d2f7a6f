// The size and behaviour knobs of one data source, parsed from SimConfig.
#pragma once

#include "SimEngine.h"

#include <cstdint>
#include <string>

namespace sim {

struct SimKnobs {
    int Version = 10;                 // VERSION: 7, 8 or 10
    std::string Banner;               // BANNER: overrides the first V$VERSION row
    long Segments = 400;              // SEGMENTS
    long ExtentsPerSegment = 3;       // EXTENTSPERSEGMENT: average extents of a segment
    long Sessions = 12;               // SESSIONS: user session slots of the workload
    long Machines = 4;                // MACHINES: client machines the user sessions come from
    long LogHistoryDays = 60;         // LOGHISTORYDAYS: days of V$LOGHIST before creation
    long Tablespaces = 7;             // TABLESPACES (at least 5)
    long Latches = 40;                // LATCHES (at least the four cache latches)
    long BlockSize = 8192;            // BLOCKSIZE: db_block_size (2048 for version 7)
    int64_t SharedPoolSize = 0;       // SHAREDPOOLSIZE: bytes (default by version)
    int64_t StartTime = 0;            // STARTTIME: instance start at creation, Unix seconds (0: now)
    bool WorkloadEvents = false;      // WORKLOAD=events: the week's batch, logon storm, pressure, hot latch
};

SimKnobs ParseKnobs(const SimConfig& config);

// Fault settings; runtime values (stored in the instance file) win over
// the configuration.
struct SimFaults {
    bool FailConnect = false;         // FAILCONNECT=1
    long DropAfter = 0;               // DROPAFTER=N: the connection is lost after N statements
    std::string FailSql;              // FAILSQL=substring
    int FailCode = 1013;              // FAILCODE=ORA number of the failing statement
    std::string FailMessage;          // FAILMESSAGE=text after "ORA-nnnnn: "
    bool FetchInfo = false;           // FETCHINFO=1: fetches succeed with information
    long SlowMs = 0;                  // SLOWMS=N: statements sleep N ms
    std::string SlowSql;              // SLOWSQL=substring: only these statements are slow
};

// Names of the fault keys, as configured and as set at run time.
extern const char* const kFaultKeys[];
extern const size_t kFaultKeyCount;

SimFaults ParseFaults(const SimConfig& config);
// Applies one key=value onto the fault settings (unknown keys are ignored).
void ApplyFault(SimFaults& faults, const std::string& key, const std::string& value);

}  // namespace sim
