// What one collection read from one instance: the raw counters and levels,
// which groups of figures could be read, and why the instance is down.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "KvgDb.h"
#include "KvgRecords.h"

// Groups of figures, each read by one statement (or one item of the
// collector's hourly reading); a failed group leaves out its figures only.
enum TFigureGroup {
    grpSqlArea,
    grpLibraryCache,
    grpDictionaryCache,
    grpDatabaseBuffers,
    grpBufferReads,
    grpRedoBuffers,
    grpSortAreaSize,
    grpSorts,
    grpLatches,
    grpSharedPool,
    grpLogBuffer,
    grpClientMachines,
    grpSessions,
    grpTablespaces,
    grpLogSwitches,
    grpCount
};

// The group's name in the group label ("sql_area", ...).
const char* GroupName(TFigureGroup group);

struct TSessionCount {
    std::string Status;
    std::string Type;
    double Sessions = 0;
};

struct TTablespaceSpace {
    std::string Name;
    double SizeBytes = 0;  // DBA_DATA_FILES
    double FreeBytes = 0;  // DBA_FREE_SPACE
};

struct TInstanceReading {
    bool Up = false;
    std::string Error;  // why the instance is down
    int OracleVersion = 0;

    TMURecord Hourly;     // the collector's hourly items; Hourly.ValidItems tells which were read
    TLatchTable Latches;  // every latch, gets and misses with the immediate ones
    double SharedPoolSizeBytes = 0;
    double SharedPoolFreeBytes = 0;
    double LogBufferBytes = 0;
    double ClientMachines = 0;
    std::vector<TSessionCount> Sessions;
    std::vector<TTablespaceSpace> Tablespaces;
    double LogSwitches = 0;

    std::array<bool, grpCount> GroupOk{};
    bool AnyGroupFailed() const;
};
