// Creation of the instance's tables and views in its SQLite file.
#pragma once

#include "SimKnobs.h"
#include "SqliteHandle.h"

#include <cstdint>
#include <string>

namespace sim {

// Text that identifies the knobs a file was built with; a file built with
// other knobs is rebuilt.
std::string LayoutSignature(const SimKnobs& knobs);

// Drops every object of the file (inside the caller's transaction).
void DropAllObjects(SqliteDb& db);

// Creates all tables and views and fills them. Runs inside the caller's
// transaction; startUnix is the instance start, nowUnix the creation time.
void CreateInstance(SqliteDb& db, const SimKnobs& knobs, int64_t startUnix, int64_t nowUnix);

// Storage dictionary: TS$, FILE$, FET$ and the DBA_ views (StorageBuilder.cpp).
void BuildStorage(SqliteDb& db, const SimKnobs& knobs);

// V$LOGHIST rows from the history start up to and including untilUnix
// (LogHistory.cpp). AppendLogHistory adds the switches after fromUnix.
void CreateLogHistory(SqliteDb& db, const SimKnobs& knobs, int64_t nowUnix);
void AppendLogHistory(SqliteDb& db, const SimKnobs& knobs, int64_t fromUnix, int64_t untilUnix);

// Meta keys.
extern const char* const kMetaSignature;
extern const char* const kMetaStart;
extern const char* const kMetaFlush;
extern const char* const kMetaLogHistUntil;

}  // namespace sim
