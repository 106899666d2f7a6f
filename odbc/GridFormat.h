// Display formatting of grid values by column type (pure functions).
#pragma once

#include <sql.h>

#include <string>
#include <vector>

namespace kelv_odbc {

// Numeric picture: '0' digit, '#' optional digit, '.' decimal point,
// ',' thousands grouping, quoted or other text literal, up to three sections
// "positive;negative;zero". Returns false when value is not a number.
bool FormatFloatPicture(const std::string& value, const std::string& picture, std::string& out);

// Date-time picture: yyyy yy m mm d dd h hh n nn s ss zzz, '/' and ':' and
// quoted text literal; "m"/"mm" right after an hour means minutes.
std::string FormatDateTimePicture(int year, int month, int day, int hour, int minute, int second,
                                  const std::string& picture);

// The value shown for a column of the given SQL type; any conversion error
// keeps the value unchanged.
std::string FormatGridValue(const std::string& value, const std::string& format, SQLSMALLINT sqlType,
                            bool numeric);

// The format for a column from "NAME=format" lines, or "" when none.
std::string GridFormatFor(const std::vector<std::string>& lines, const std::string& columnName);

}  // namespace kelv_odbc
