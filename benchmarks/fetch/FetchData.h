// The benchmark's data: a temporary SQLite database of 200,000 rows.
#pragma once

#include <string>

namespace bench {

constexpr int kRows = 200000;
constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
constexpr const char* kSelect = "SELECT id, qty, price, ratio, code, name, body, note FROM fetch_bench";

// Creates the database once per process; returns the connection string
// "DRIVER=...;Database=...". Removed at exit.
const std::string& ConnectionString();

}  // namespace bench
