// Static contents of the instance: statistic, latch, library-cache and
// row-cache names with their workload rates, parameters, background
// processes and banners.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct SimKnobs;

struct CounterDef {
    std::string Name;
    int64_t Base;         // value right after the instance start
    int64_t RatePerMin;   // growth per minute at profile weight 1000
};

struct SysStatDef {
    int Number;           // STATISTIC#
    std::string Name;
    int Class;
    CounterDef Counter;
};

std::vector<SysStatDef> SysStats();
// The first four are the cache latches every version has.
std::vector<std::string> LatchNames(long count);
std::vector<std::string> LibraryNamespaces(int version);
std::vector<std::string> RowCacheParameters(int version);

struct ParameterDef {
    std::string Name;
    int Type;             // 1 boolean, 2 string, 3 integer, 4 parameter file, 6 big integer
    std::string Value;
    bool IsDefault;
    std::string SesModifiable;   // TRUE / FALSE
    std::string SysModifiable;   // IMMEDIATE / DEFERRED / FALSE
    std::string Description;
};
std::vector<ParameterDef> Parameters(const SimKnobs& knobs);

struct BackgroundDef {
    std::string Program;  // process name
};
std::vector<std::string> BackgroundProcesses(int version);

// V$VERSION rows; the first is the banner (or the BANNER knob).
std::vector<std::string> VersionRows(const SimKnobs& knobs);
// The "compatible" parameter and the release of V$INSTANCE.VERSION.
std::string CompatibleOf(int version);
std::string ReleaseOf(int version);

// Sizes of V$SGA.
struct SgaSizes {
    int64_t FixedSize, VariableSize, DatabaseBuffers, RedoBuffers;
};
SgaSizes SgaOf(const SimKnobs& knobs);
int64_t DbBlockBuffers(const SimKnobs& knobs);
int64_t LogBufferBytes(const SimKnobs& knobs);
int64_t SortAreaBytes(const SimKnobs& knobs);
// sga_target under automatic memory: the whole SGA.
int64_t SgaTargetBytes(const SimKnobs& knobs);

// The pools beside the shared pool (instances with SGA pools): their size
// and the 'free memory' V$SGASTAT shows for them, which does not move.
struct PoolDef {
    std::string Name;
    int64_t Size, Free;
};
std::vector<PoolDef> OtherPools(const SimKnobs& knobs);
// Unit of V$SGA_DYNAMIC_COMPONENTS sizes.
int64_t GranuleBytes(const SimKnobs& knobs);

}  // namespace sim
