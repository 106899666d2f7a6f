// Number texts of the live pages: reading the database's numeric texts and
// writing them with the grid formats "#,##0", "0" and "##0.00".
#pragma once

#include <string>

// Bytes in a kilobyte, and kilobytes in a megabyte, of every size the viewer shows.
inline constexpr double kBytesPerKB = 1024;

// The number that text holds (blanks around it allowed), or 0 when the text
// is not a plain decimal number (empty, "<Null>", "abc", "1x", "inf", ...).
double StrToFloatOrZero(const std::string& text);

// Nearest integer, ties to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// "#,##0": rounded to a whole number (ties away from zero), thousands
// separated by ",".
std::string FormatGrouped(double value);
// "0": rounded to a whole number (ties away from zero), no separators.
std::string FormatInteger(double value);
// "##0.00": two decimals (ties away from zero), no separators.
std::string FormatTwoDecimals(double value);
