// The texts the statistics pages should show, written from the display
// formats alone (independent of the pages' own formatting code).
#pragma once

#include <cstdint>
#include <string>

namespace e2e {

// "#,##0": nearest integer (halves away from zero), thousands separated by ",".
std::string Thousands(double value);
// "0.00" (also "##0.00"): two decimals, halves away from zero.
std::string TwoDecimals(double value);
// Nearest integer, halves to the even neighbour (the chart's KB figures).
int64_t RoundHalfEven(double value);

// "%2d:00～59" of the chart points; the grids put two blanks before it.
std::string ChartHourLabel(int hour);
std::string GridHourLabel(int hour);
// "yy/mm/dd(ddd)" with the one-character Japanese weekday.
std::string DayDisplayText(const std::string& yyyymmdd);

}  // namespace e2e
