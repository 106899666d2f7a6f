// Days for which a statistics file exists in the data directory.
#pragma once

#include <string>
#include <vector>

// yyyymmdd texts of every prefix*.dat in dir whose eight characters after
// the prefix form a date, ascending; other names are skipped. Letter case is
// ignored, as the data files' home system does: "mu20261204.DAT" is a day.
std::vector<std::string> ListStatDays(const std::string& dir, const std::string& prefix);

// Path of the day's file as the directory spells it: prefix + day + ".dat"
// in any letter case, the exact spelling first. Where there is none, the
// exact spelling (opening it then fails as for any missing file).
std::string StatFileOfDay(const std::string& dir, const std::string& prefix, const std::string& day);

// "yy/mm/dd(ddd)" with the Japanese one-character weekday, e.g.
// "20261204" -> "26/12/04(金)"; "" when day is not a valid date.
std::string DayLabel(const std::string& day);
