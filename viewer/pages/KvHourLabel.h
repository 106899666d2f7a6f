// The hour-band label of the hourly views: "%2d:00～59" on chart points,
// with two leading blanks in the fixed first column of the hourly grids.
#pragma once

#include <string>

// "  9:00～59" for hour 9, "23:00～59" for hour 23 (UTF-8).
std::string HourLabel(int hour);
// "  " + HourLabel(hour): the grids' hour column.
std::string GridHourLabel(int hour);
