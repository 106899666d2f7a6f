// Result sets of the catalog functions, built from the instance's own
// dictionary and from statement descriptions.
#pragma once

#include "Handles.h"
#include "ResultSet.h"

#include <optional>
#include <string>

namespace kelvsim {

// A pattern argument: nullopt for a null pointer.
using Pattern = std::optional<std::string>;

// LIKE-style match: '%' any run, '_' one character, '\' escapes.
bool MatchesPattern(const std::string& value, const std::string& pattern);

std::unique_ptr<ResultSet> ListTables(Connection& conn, const Pattern& catalog, const Pattern& schema,
                                      const Pattern& table, const Pattern& tableTypes);
std::unique_ptr<ResultSet> ListColumns(Connection& conn, const Pattern& catalog, const Pattern& schema,
                                       const Pattern& table, const Pattern& column);
std::unique_ptr<ResultSet> ListStatistics(Connection& conn, const Pattern& schema, const Pattern& table);
std::unique_ptr<ResultSet> ListTypes(Connection& conn, SQLSMALLINT dataType);
std::unique_ptr<ResultSet> ListProcedures(Connection& conn);
std::unique_ptr<ResultSet> ListProcedureColumns(Connection& conn);

}  // namespace kelvsim
