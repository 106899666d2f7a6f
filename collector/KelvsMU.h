// Memory-usage unit: hourly counters of the SQL area, library and dictionary
// caches, buffer cache, sorts and latches; interval samples of the shared
// pool and log buffer; the MU line and the day's latch totals.
#pragma once

#include <ctime>

#include "KvgDb.h"
#include "KvgErrLogOnce.h"
#include "KvgRecords.h"
#include "KvgStatFiles.h"

namespace mu_sql {
extern const char* const kSqlArea;
extern const char* const kLibraryCache;
extern const char* const kDictionaryCache;
extern const char* const kSgaValue;
extern const char* const kBufferReads;
extern const char* const kParameter;
extern const char* const kSorts;
extern const char* const kLatches;
extern const char* const kSharedPool;
extern const char* const kSharedPoolOfPool;
extern const char* const kSharedPoolCurrentSize;
extern const char* const kLogBuffer;
}  // namespace mu_sql

class TMemoryUsageUnit {
public:
    TMemoryUsageUnit(ICollectorDb& db, TStatFiles& files) : db_(db), files_(files) {}

    // No hour in progress; latch tables emptied.
    void ResetMU();
    // Closes the hour in progress (when there is one) and starts the next from now.
    void HourMU(std::time_t now);
    void SampleMU_SP();
    void SampleMU_LB();

    // Fills record with the hourly items; refreshes the current latch table.
    void ReadMU_Hour(TMURecord& record, TLatchTable& current);
    // Appends the MU line of MUPrev's hour; false when it is not on disk yet.
    bool InsMU(const TMURecord& fresh);
    // Adds the hour's latch growth to the ML file of MUPrev's date; false
    // when it is not on disk yet (kept for a later tick).
    bool UpdML();
    void DelMU(int cutoff);
    void DelML(int cutoff);

    // The Oracle version detected by the program (0 until known), which
    // decides the form of the shared-pool statement.
    void UseOracleVersion(const int* version) { oracleVersion_ = version; }

    const TMURecord& MUPrev() const { return prev_; }
    TMURecord& MUPrevForMaintenance() { return prev_; }
    const TLatchTable& CurrentLatches() const { return grdCR_ML_; }
    const TLatchTable& SavedLatches() const { return grdSV_ML_; }

private:
    // Runs one item; logs a database error under "MUReadMU_Hour" and the item key.
    template <typename Body>
    void ReadItem(TMURecord& record, unsigned item, const char* key, Body body);
    // Runs an interval sample; a failed one changes nothing and is logged once.
    template <typename Body>
    void Sample(const char* context, const char* key, Body body);
    // The shared pool's size and free memory of one sample; false when the
    // instance gives no size that the free memory fits in.
    bool ReadSharedPool(double& size, double& free);

    ICollectorDb& db_;
    TStatFiles& files_;
    TErrLogOnce errors_;
    TMURecord prev_;
    const int* oracleVersion_ = nullptr;
    TLatchTable grdCR_ML_;  // reading at the last hour change
    TLatchTable grdSV_ML_;  // reading at the hour change before
};
