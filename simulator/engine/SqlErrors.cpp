#include "SqlErrors.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace sim {

SimError OraError(const char* sqlState, int code, const std::string& text) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
    return SimError(sqlState, code, prefix + text);
}

SimError TableNotFound() { return OraError("42S02", 942, "table or view does not exist"); }
SimError InvalidSqlStatement() { return OraError("42000", 900, "invalid SQL statement"); }
SimError InsufficientPrivileges() { return OraError("42000", 1031, "insufficient privileges"); }
SimError LostContact() { return OraError("08S01", 3113, "end-of-file on communication channel"); }

namespace {

bool Contains(const std::string& text, const char* what) { return text.find(what) != std::string::npos; }

// The quoted or trailing name in messages such as "no such column: X".
std::string NameAfterColon(const std::string& message) {
    auto pos = message.rfind(": ");
    std::string name = pos == std::string::npos ? message : message.substr(pos + 2);
    auto dot = name.rfind('.');
    if (dot != std::string::npos) name = name.substr(dot + 1);
    return name;
}

}  // namespace

SimError MapSqliteError(int rc, const std::string& message, const std::string& /*sql*/) {
    int primary = rc & 0xff;
    // Errors raised by our own SQL functions already carry their ORA text.
    if (message.rfind("ORA-", 0) == 0) {
        int code = std::atoi(message.c_str() + 4);
        const char* state = code == 1722 ? "22018" : (code >= 1800 && code < 1900 ? "22007" : "HY000");
        return SimError(state, code, message);
    }
    if (Contains(message, "no such table") || Contains(message, "no such view")) return TableNotFound();
    if (Contains(message, "no such column"))
        return OraError("42S22", 904, "\"" + NameAfterColon(message) + "\": invalid identifier");
    if (Contains(message, "no such function") || Contains(message, "wrong number of arguments"))
        return OraError("42000", 904, "\"" + NameAfterColon(message) + "\": invalid identifier");
    if (Contains(message, "ambiguous column name")) return OraError("42000", 918, "column ambiguously defined");
    if (Contains(message, "already exists"))
        return OraError("42S01", 955, "name is already used by an existing object");
    if (Contains(message, "UNIQUE constraint") || Contains(message, "PRIMARY KEY"))
        return OraError("23000", 1, "unique constraint violated");
    if (Contains(message, "NOT NULL constraint")) return OraError("23000", 1400, "cannot insert NULL");
    if (Contains(message, "CHECK constraint")) return OraError("23000", 2290, "check constraint violated");
    if (Contains(message, "incomplete input")) return OraError("42000", 921, "unexpected end of SQL command");
    if (Contains(message, "syntax error")) return OraError("42000", 933, "SQL command not properly ended");
    if (Contains(message, "misuse of aggregate") || Contains(message, "GROUP BY"))
        return OraError("42000", 979, "not a GROUP BY expression");
    if (Contains(message, "SELECTs to the left and right"))
        return OraError("42000", 1789, "query block has incorrect number of result columns");
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return OraError("HY000", 54, "resource busy and acquire with NOWAIT specified");
    if (primary == SQLITE_TOOBIG) return OraError("22001", 1489, "result of string concatenation is too long");
    if (primary == SQLITE_MISMATCH) return OraError("22018", 1722, "invalid number");
    if (primary == SQLITE_FULL || primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN)
        return OraError("HY000", 1114, "IO error writing block to file (" + message + ")");
    if (primary == SQLITE_INTERRUPT) return OraError("HY008", 1013, "user requested cancel of current operation");
    return OraError("HY000", 600, "internal error code, arguments: [" + message + "]");
}

}  // namespace sim
