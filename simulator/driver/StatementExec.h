// Running statements on the session: shared by prepare/execute and the
// catalog functions.
#pragma once

#include "Handles.h"

namespace kelvsim {

// Runs stmt.SqlText with the bound parameters and opens its result.
SQLRETURN ExecuteCurrent(Statement& stmt);
// Installs a result built by the driver (catalog functions).
SQLRETURN OpenDriverResult(Statement& stmt, std::unique_ptr<ResultSet> result);
// Fails with 24000 while a cursor is open.
void RequireNoCursor(const Statement& stmt);
void DestroyStatement(Statement* stmt);

}  // namespace kelvsim
