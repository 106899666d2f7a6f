// The size and behaviour knobs of one data source, parsed from SimConfig.
#pragma once

#include "SimEngine.h"

#include <cstdint>
#include <string>

namespace sim {

// How the tablespaces keep their free extents (LOCALLYMANAGED).
enum class ExtentManagement {
    Dictionary,         // "none": every tablespace in FET$
    LocalExceptSystem,  // "nonsystem": SYSTEM in FET$, the others in bitmaps
    Local               // "all": no FET$ rows at all
};

// The session's language settings (NLSLANG, ALTER SESSION SET NLS_...).
struct NlsSettings {
    char DecimalCharacter = '.';
    char GroupCharacter = ',';
    std::string Sort = "BINARY";      // BINARY, or the name of a linguistic sort
    bool LinguisticSort() const { return Sort != "BINARY"; }
};

// NLS_LANG-style "LANGUAGE_TERRITORY.CHARSET" (any part may be missing):
// the territory gives the numeric characters, the language the sort.
NlsSettings NlsFromLanguage(const std::string& nlsLang);

struct SimKnobs {
    int Version = 10;                 // VERSION: family 7, 8, 9, 10 (10 to 18) or 19 (19 and later)
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

    // What real instances do; the defaults follow the version family.
    bool SgaPools = false;            // POOLS: a 'free memory' row per pool in V$SGASTAT (version 8 and later)
    bool AutoMemory = false;          // AUTOMEMORY: sga_target set, shared_pool_size 0 (version 10 and later)
    ExtentManagement Extents = ExtentManagement::Dictionary;  // LOCALLYMANAGED: none, nonsystem or all
    long KilledMinutes = 0;           // KILLEDMINUTES: a killed session stays as KILLED this long
    bool RefuseOwnKill = false;       // REFUSEOWNKILL: killing one's own session fails with ORA-00027
    bool LogStatuses = false;         // LOGSTATUSES: V$LOG also shows UNUSED, CLEARING, CLEARING_CURRENT
    std::string NlsLang;              // NLSLANG: the client's language settings at logon
};

// The families whose dictionary has V$SGA_DYNAMIC_COMPONENTS, and the
// extent-management columns of TS$ and DBA_TABLESPACES.
bool HasDynamicSga(const SimKnobs& knobs);
bool HasExtentManagement(const SimKnobs& knobs);

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
