// Oracle-style errors: the ORA texts the instance reports and the mapping of
// SQLite failures onto them.
#pragma once

#include "SimEngine.h"

#include <string>

namespace sim {

// Builds SimError("<state>", code, "ORA-<code>: <text>").
SimError OraError(const char* sqlState, int code, const std::string& text);

// Error constructors used by more than one unit.
SimError TableNotFound();          // ORA-00942
SimError InvalidSqlStatement();    // ORA-00900
SimError InsufficientPrivileges(); // ORA-01031
SimError LostContact();            // ORA-03113

// Maps an SQLite result code and message onto the nearest Oracle error.
SimError MapSqliteError(int rc, const std::string& message, const std::string& sql);

}  // namespace sim
