// Translates an Oracle statement into SQLite text: identifiers with $ and #,
// the SYS. schema prefix, (+) outer joins, Oracle division, MINUS, SYSDATE,
// and Oracle's names for unaliased result columns.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace sim {

enum class StatementKind { Query, Dml, Ddl, AlterSystem, AlterSession, Commit, Rollback, Other };

struct Translation {
    std::string Sql;                    // SQLite text
    StatementKind Kind = StatementKind::Other;
    std::set<std::string> Identifiers;  // every unquoted name, upper case
    bool UsesSysSchema = false;         // a SYS.<object> reference was seen
    int ParameterCount = 0;
    std::string Target;                 // object changed by DML/DDL, upper case
};

// Throws SimError for statements that are not valid Oracle SQL at the
// token level (unterminated quotes, misplaced (+), empty text).
// Objects created by CREATE TABLE/VIEW/INDEX go to createSchema when given.
// With orderCollation, every ORDER BY term of a query sorts by that
// collation (a linguistic NLS_SORT).
Translation TranslateOracleSql(const std::string& oracleSql, const char* createSchema = nullptr,
                               const char* orderCollation = nullptr);

}  // namespace sim
