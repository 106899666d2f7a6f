// How late an hour may still be closed: at the edges of the window, across
// midnight, when hours were skipped, and across daylight-saving changes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "KvgCatchUp.h"
#include "KvgClock.h"

namespace {

// Runs the test body in another time zone and restores the one before.
class TimeZone {
public:
    explicit TimeZone(const char* zone)
    {
        if (const char* tz = std::getenv("TZ")) old_ = tz, hadOld_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone()
    {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool hadOld_ = false;
};

std::time_t At(int day, int hour, int minute, int second = 0)
{
    return MakeLocalTime(2000, 10, day, hour, minute, second);
}

TEST(CatchUp, TheWindowEndsExactlyItsLengthAfterTheHour)
{
    TimeZone utc("UTC");
    EXPECT_EQ(HourCloseAt(20001015, 10, At(15, 10, 59, 59)), THourClose::InProgress);
    EXPECT_EQ(HourCloseAt(20001015, 10, At(15, 11, 0, 0)), THourClose::Due);
    EXPECT_EQ(HourCloseAt(20001015, 10, At(15, 11, 0, 0) + kCatchUpSeconds), THourClose::Due);
    EXPECT_EQ(HourCloseAt(20001015, 10, At(15, 11, 0, 0) + kCatchUpSeconds + 1), THourClose::TooLate);
}

TEST(CatchUp, OnlyTheHourJustBeforeNowsCanBeClosed)
{
    TimeZone utc("UTC");
    EXPECT_EQ(HourCloseAt(20001015, 23, At(16, 0, 3)), THourClose::Due) << "across midnight";
    EXPECT_EQ(HourCloseAt(20001015, 9, At(15, 11, 0, 3)), THourClose::TooLate) << "an hour skipped";
    EXPECT_EQ(HourCloseAt(20001014, 11, At(15, 11, 0, 3)), THourClose::TooLate) << "a day later";
    EXPECT_EQ(HourCloseAt(20001015, 12, At(15, 11, 30)), THourClose::TooLate) << "the clock went back";
}

TEST(CatchUp, DaylightSavingChangesKeepRealHours)
{
    if (!std::filesystem::exists("/usr/share/zoneinfo/Europe/Berlin")) GTEST_SKIP() << "no time zone data";
    TimeZone berlin("Europe/Berlin");
    // 26 March 2000: 02:00 became 03:00, so hour 1 ends at 03:00.
    EXPECT_EQ(HourCloseAt(20000326, 1, MakeLocalTime(2000, 3, 26, 3, 0, 5)), THourClose::Due);
    // 29 October 2000: 03:00 became 02:00 again; hour 2 (the second one) ends at 03:00.
    const std::time_t secondTwoOClock = MakeLocalTime(2000, 10, 29, 1, 30) + 2 * 3600;  // 02:30 winter time
    EXPECT_EQ(HourCloseAt(20001029, 2, secondTwoOClock), THourClose::InProgress);
    EXPECT_EQ(HourCloseAt(20001029, 2, MakeLocalTime(2000, 10, 29, 3, 0, 5)), THourClose::Due);
}

}  // namespace
