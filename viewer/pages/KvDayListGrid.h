// The day list at the left of the statistics tabs: one row per day with a
// statistics file, the display text in the visible grid and the yyyymmdd
// text in its hidden twin.
#pragma once

#include <string>

class TKvStringGrid;
class TStringTable;

// Empties both grids to the heading and one empty current row, then lists
// the days of prefix*.dat in dataDir, newest first unless ascending is
// asked for. Returns the number of days (0: the grids stay empty).
int FillDayList(TKvStringGrid& shown, TStringTable& days, const std::string& dataDir,
                const std::string& prefix, bool newestFirst);
