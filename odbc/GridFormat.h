// Display formatting of grid values by column type (pure functions).
#pragma once

#include <sql.h>

#include <string>
#include <vector>

namespace kelv_odbc {

// Numeric picture: '0' digit, '#' optional digit, '.' decimal point,
// ',' thousands grouping, "E+00" / "E-00" exponent (up to four digits; E+
// always signed, E- only when negative), quoted or other text literal, up
// to three sections "positive;negative;zero". Rounds half away from zero on
// the value's 15 significant digits. Returns false when value is not a number.
bool FormatFloatPicture(const std::string& value, const std::string& picture, std::string& out);

// Date-time picture: yyyy yy, m mm (month; minutes right after an hour),
// mmm mmmm (month name), d dd, ddd dddd (day name), ddddd dddddd (short and
// long date), h hh (12-hour with am/pm, a/p or ampm), n nn, s ss, z zzz,
// c (date, and time when not midnight), t tt (short and long time), '/'
// and ':' and quoted text literal. Names are English.
std::string FormatDateTimePicture(int year, int month, int day, int hour, int minute, int second,
                                  const std::string& picture);

// The value shown for a column of the given SQL type; any conversion error
// keeps the value unchanged.
std::string FormatGridValue(const std::string& value, const std::string& format, SQLSMALLINT sqlType,
                            bool numeric);

// The format for a column from "NAME=format" lines, or "" when none.
std::string GridFormatFor(const std::vector<std::string>& lines, const std::string& columnName);

}  // namespace kelv_odbc
