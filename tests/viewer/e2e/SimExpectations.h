// What the simulated instance implies for every hour of a collector run,
// taken from the simulator's counter functions alone.
//
// The one thing the instance cannot know is the moment of each reading: the
// collector reads at its first tick after an hour change, a few simulated
// minutes late under the accelerated clock. The files pin that moment down:
// of the minutes in the reading window, the ones kept are those for which
// every counter of the statement gives exactly the growth the files hold,
// over the whole chain of hours (the end reading of one hour is the start
// reading of the next). Every figure is then the simulator's value at that
// minute; a file figure that no minute explains is reported as a problem.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "CollectorRun.h"

// Raw figures of one MU line, in the units of the file.
struct TMUHour {
    int Hour = 0;
    int64_t SharedPoolSize = 0, SharedPoolUsed = 0, DbBuffers = 0, RedoBuffers = 0,
            LogBufferMax = 0, SortAreaSize = 0;
    std::array<int64_t, 4> LatchGets{}, LatchMisses{};
    int64_t SqlPins = 0, SqlReloads = 0, LibPins = 0, LibReloads = 0, DicGets = 0, DicMisses = 0,
            LogicalReads = 0, PhysicalReads = 0, SortsMemory = 0, SortsDisk = 0, RowsSorted = 0;
};

struct TORHour {
    int Hour = 0;
    int64_t Logins = 0, Installed = 0, MemMax = 0, MemMin = 0;
};

struct TLatchTotal {
    std::string Name;
    int64_t Gets = 0, Misses = 0;
};

struct TExpectedRun {
    std::map<std::string, std::vector<TMUHour>> MU;       // by yyyymmdd, ascending hours
    std::map<std::string, std::vector<TORHour>> OR;
    std::map<std::string, std::vector<TLatchTotal>> ML;   // by yyyymmdd, any order
    std::vector<std::string> Problems;   // file figures the instance does not explain
};

// The four latches of the MU line, in field order.
extern const std::array<const char*, 4> kNamedLatches;

TExpectedRun ExpectFromSimulator(const TCollectorRun& run);

// The lines the collector should have written, built from the expectations.
std::string ExpectedMULine(const TMUHour& h);
std::string ExpectedORLine(const TORHour& h);
std::string ExpectedMLLine(const TLatchTotal& t);
