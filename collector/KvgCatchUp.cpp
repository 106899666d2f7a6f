#include "KvgCatchUp.h"

#include "KvgClock.h"

std::time_t HourStartOf(std::time_t now)
{
    std::tm tm{};
    localtime_r(&now, &tm);
    return now - (tm.tm_min * 60 + tm.tm_sec);
}

THourClose HourCloseAt(int date, int hour, std::time_t now)
{
    if (LocalDateInt(now) == date && LocalHour(now) == hour) return THourClose::InProgress;
    // The hour directly before now's is the one its last second belongs to;
    // comparing labels of instants keeps this right across daylight-saving changes.
    const std::time_t nowHour = HourStartOf(now);
    const std::time_t lastSecondBefore = nowHour - 1;
    const bool previousHour = LocalDateInt(lastSecondBefore) == date && LocalHour(lastSecondBefore) == hour;
    return previousHour && now - nowHour <= kCatchUpSeconds ? THourClose::Due : THourClose::TooLate;
}
