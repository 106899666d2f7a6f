// Oracle's SQL functions registered on an SQLite connection: NVL, NVL2,
// DECODE, SIGN, SUBSTRB, LENGTHB, ROUND, TRUNC, TO_CHAR, TO_DATE, TO_NUMBER,
// MOD, LPAD, RPAD, CONCAT, GREATEST, LEAST, INITCAP, SYSDATE.
#pragma once

#include <sqlite3.h>

#include <cstdint>

namespace sim {

// The time that SYSDATE and two-digit years refer to; the owner keeps it
// alive as long as the connection and updates it per statement.
struct StatementClock {
    int64_t UnixSeconds = 0;
};

void RegisterOracleFunctions(sqlite3* db, StatementClock* clock);

}  // namespace sim
