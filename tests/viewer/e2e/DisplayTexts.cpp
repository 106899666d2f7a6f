#include "DisplayTexts.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <ctime>

namespace e2e {

namespace {

// Decimal text of value with `decimals` places, rounded half away from zero
// on its 15-digit decimal form (so 1.005 reads as written, not as the
// binary fraction just below it).
std::string Rounded(double value, int decimals)
{
    char e[64];
    std::snprintf(e, sizeof e, "%.14e", std::fabs(value));
    const std::string mantissa = std::string(1, e[0]) + std::string(e + 2, e + 16);
    const int before = std::atoi(std::strchr(e, 'e') + 1) + 1;   // digits before the point
    std::string whole, fraction;
    if (before <= 0) {
        whole = "0";
        fraction = std::string(static_cast<size_t>(-before), '0') + mantissa;
    } else if (before >= static_cast<int>(mantissa.size())) {
        whole = mantissa + std::string(static_cast<size_t>(before) - mantissa.size(), '0');
    } else {
        whole = mantissa.substr(0, static_cast<size_t>(before));
        fraction = mantissa.substr(static_cast<size_t>(before));
    }
    fraction.resize(std::max(fraction.size(), static_cast<size_t>(decimals) + 1), '0');
    std::string digits = whole + fraction.substr(0, static_cast<size_t>(decimals));
    if (fraction[static_cast<size_t>(decimals)] >= '5') {
        int i = static_cast<int>(digits.size()) - 1;
        for (; i >= 0 && digits[static_cast<size_t>(i)] == '9'; --i) digits[static_cast<size_t>(i)] = '0';
        if (i < 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[static_cast<size_t>(i)];
    }
    const size_t firstKept = std::min(digits.find_first_not_of('0'), digits.size() - decimals - 1);
    digits.erase(0, firstKept);
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    if (decimals > 0) digits.insert(digits.size() - static_cast<size_t>(decimals), ".");
    return (value < 0 && !zero ? "-" : "") + digits;
}

}  // namespace

std::string Thousands(double value)
{
    std::string digits = Rounded(value, 0);
    const bool negative = !digits.empty() && digits[0] == '-';
    if (negative) digits.erase(0, 1);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return (negative ? "-" : "") + out;
}

std::string TwoDecimals(double value)
{
    return Rounded(value, 2);
}

int64_t RoundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff > 0.5) return static_cast<int64_t>(floor) + 1;
    if (diff < 0.5) return static_cast<int64_t>(floor);
    const auto f = static_cast<int64_t>(floor);
    return f % 2 == 0 ? f : f + 1;
}

std::string ChartHourLabel(int hour)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%2d:00～59", hour);
    return buf;
}

std::string GridHourLabel(int hour)
{
    return "  " + ChartHourLabel(hour);
}

std::string DayDisplayText(const std::string& yyyymmdd)
{
    static const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
    const int date = std::stoi(yyyymmdd);
    std::tm tm{};
    tm.tm_year = date / 10000 - 1900;
    tm.tm_mon = date / 100 % 100 - 1;
    tm.tm_mday = date % 100;
    tm.tm_hour = 12;
    const std::time_t t = timegm(&tm);
    gmtime_r(&t, &tm);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d/%02d/%02d(%s)", tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday,
                  kWeekdays[tm.tm_wday]);
    return buf;
}

}  // namespace e2e
