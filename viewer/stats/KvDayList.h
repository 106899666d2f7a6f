// Days for which a statistics file exists in the data directory.
#pragma once

#include <string>
#include <vector>

// yyyymmdd texts of every prefix*.dat in dir whose eight characters after
// the prefix form a date, ascending; other names are skipped.
std::vector<std::string> ListStatDays(const std::string& dir, const std::string& prefix);

// "yy/mm/dd(ddd)" with the Japanese one-character weekday, e.g.
// "20261204" -> "26/12/04(金)"; "" when day is not a valid date.
std::string DayLabel(const std::string& day);
