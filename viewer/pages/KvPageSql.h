// SQL texts of the live pages. Each builder takes the page's sort choice
// (column -1 = none, dir "" or "DESC"; any other direction text sorts
// ascending and never reaches the statement) and returns the statement
// exactly as it is sent; the ORDER BY texts carry the database-side sort of
// the grids.
#pragma once

#include <optional>
#include <string>

namespace kvsql {

// Checkpoint day list: the ORDER BY text appended to the per-day statement.
std::string CheckPointDaysOrder(int sortCol, const std::string& dir);
// The per-day statement of the version followed by that order.
std::string CheckPointDays(int oracleVersion, int sortCol, const std::string& dir);

std::string TableSpaces(int sortCol, const std::string& dir);
std::string DataFiles(int sortCol, const std::string& dir);      // one "?": tablespace
std::string FileUsage(int blockSize);                             // one "?": file name

std::string Parameters(int sortCol, const std::string& dir);
std::string LogFiles(int sortCol, const std::string& dir);

std::string Extents(bool onlyExtended, int sortCol, const std::string& dir);
std::string Sessions(int sortCol, const std::string& dir);
// The kill statement, or nothing when sid or serial is not plain decimal
// digits: only digits may be put into the statement text.
std::optional<std::string> KillSession(const std::string& sid, const std::string& serial);

std::string Segments(bool tables, bool indexes, int sortCol, const std::string& dir);
std::string FreeSpace(int sortCol, const std::string& dir);

}  // namespace kvsql
