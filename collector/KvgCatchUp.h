// When the hour in progress may still be closed. Its MU line holds the
// growth of the instance's counters from the hour's first reading to its
// closing reading, which the first tick after the hour's end takes. When that
// tick cannot read the database (the connection is lost) or comes late (the
// process was stopped), a later tick may still take the closing reading, but
// only within kCatchUpSeconds of the hour's end: any later, the line would
// carry growth of the next hour, and the hour is left out instead.
#pragma once

#include <ctime>

inline constexpr long kCatchUpSeconds = 300;

enum class THourClose {
    InProgress,  // now is still within the hour
    Due,         // now is early enough in the next hour to close it
    TooLate,     // the hour can no longer be closed
};

// The hour given by its yyyymmdd date and hour (local time) seen at now.
THourClose HourCloseAt(int date, int hour, std::time_t now);
// Start of now's local hour (minutes and seconds dropped).
std::time_t HourStartOf(std::time_t now);
