// One hour's readings of the two sampling units.
#pragma once

#include <cstdint>

// Items of the hourly memory-usage reading; a bit per item in TMURecord::ValidItems.
enum TMUItem : unsigned {
    muItemSA = 1u << 0,
    muItemLC = 1u << 1,
    muItemDC = 1u << 2,
    muItemBBs = 1u << 3,
    muItemBB = 1u << 4,
    muItemLB = 1u << 5,
    muItemSRs = 1u << 6,
    muItemSR = 1u << 7,
    muItemLA = 1u << 8,
    // The four latches of the MU line, each read with a number for both counters.
    muLatchCacheBuffersChains = 1u << 9,
    muLatchCacheBuffersLruChain = 1u << 10,
    muLatchLibraryCache = 1u << 11,
    muLatchSharedPool = 1u << 12,
};

struct TLatchPair {
    double Gets = 0;
    double Misses = 0;
};

struct TMURecord {
    int32_t Date = 0;  // yyyymmdd; 0 = no hour in progress
    int32_t Hour = 0;
    double SharedPoolSize = 0;
    double SharedPoolUsedMax = 0;
    double SqlAreaPins = 0;
    double SqlAreaReloads = 0;
    double LibCachePins = 0;
    double LibCacheReloads = 0;
    double DictGets = 0;
    double DictGetMisses = 0;
    double DatabaseBuffers = 0;
    double LogicalReads = 0;
    double PhysicalReads = 0;
    double RedoBuffers = 0;
    double LogBufferMax = 0;
    double SortAreaSize = 0;
    double SortsMemory = 0;
    double SortsDisk = 0;
    double RowsSorted = 0;
    TLatchPair CacheBuffersChains;
    TLatchPair CacheBuffersLruChain;
    TLatchPair LibraryCache;
    TLatchPair SharedPool;
    // Items read without error: a counter delta is taken only between two
    // valid readings of its item (a failed reading is no baseline).
    unsigned ValidItems = 0;
};

struct TORRecord {
    int32_t Date = 0;
    int32_t Hour = 0;
    int32_t SelectCount = 0;
    int32_t InsertCount = 0;
    int32_t UpdateCount = 0;
    int32_t DeleteCount = 0;
    int32_t CpuMax = 0;
    int32_t CpuMin = 0;
    int32_t Logins = 0;
    int32_t InstalledMemory = 0;
    int32_t MemUseMax = 0;
    int32_t MemUseMin = 0;
    int32_t PageOuts = 0;
};
