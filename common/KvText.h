// Fixed-width fields and date arithmetic on eight-digit dates.
#pragma once

#include <ctime>
#include <string>

// Text left-justified in exactly width characters (blank-filled or cut).
std::string PadRight(const std::string& text, int width);
// Text trimmed, right-justified in width characters, cut to its last width
// characters, blanks turned into "0" ("-5" at 4 gives "00-5").
std::string ZeroPad(const std::string& text, int width);
// yyyymmdd plus days (may be negative) as yyyymmdd. Throws std::invalid_argument on a bad date.
std::string AddDaysToDate(const std::string& yyyymmdd, int days);
// Absolute number of days between two yyyymmdd integers.
int DiffDays(int date1, int date2);
// Whole seconds between two times, whichever is later.
long long DiffSeconds(std::time_t t1, std::time_t t2);
// Local date of a time as "yyyymmdd" / integer.
std::string FormatDate(std::time_t t, const char* strftimeFormat);
int DateAsInt(std::time_t t);
// Blanks and control characters trimmed at both ends.
std::string Trim(const std::string& s);
// Case-insensitive order of names as the desktop platform sorts them:
// blanks and punctuation ("_", "-", ".") before digits, digits before
// letters, other bytes last. Negative, 0 (equal but for case) or positive
// as a sorts before, with or after b.
int CompareTextNoCase(const std::string& a, const std::string& b);
// ASCII letters upper-cased; other bytes (UTF-8 sequences) unchanged.
std::string UpperCase(const std::string& s);
// The same for Shift-JIS text (the settings file): the second byte of a
// double-byte character is never changed.
std::string UpperCaseShiftJis(const std::string& s);
