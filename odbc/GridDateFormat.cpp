// Date-time pictures for grid values.
#include "GridFormat.h"
#include "PictureText.h"

#include <cctype>
#include <cstdio>
#include <strings.h>

namespace kelv_odbc {

namespace {

const char* const kShortMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
const char* const kShortDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// The pictures that single letters and the longest d runs stand for.
constexpr const char* kShortDatePicture = "yyyy/mm/dd";
constexpr const char* kLongDatePicture = "dddd, mmmm d, yyyy";
constexpr const char* kShortTimePicture = "h:nn";
constexpr const char* kLongTimePicture = "h:nn:ss";
constexpr const char* kAmString = "AM";
constexpr const char* kPmString = "PM";
constexpr int kHalfDay = 12;

struct DateTime {
    int year, month, day, hour, minute, second;
};

// 0 = Sunday (Sakamoto's method).
int dayOfWeek(int y, int m, int d) {
    static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + offsets[m - 1] + d) % 7;
}

std::string number(int v, int width) {
    char b[16];
    std::snprintf(b, sizeof b, "%0*d", width, v);
    return b;
}

bool startsWithNoCase(const std::string& s, size_t at, const char* word) {
    const size_t n = std::char_traits<char>::length(word);
    return s.size() - at >= n && strncasecmp(s.c_str() + at, word, n) == 0;
}

// The am/pm marker at `at`, if any: its length, and the text for the hour.
size_t amPmMarker(const std::string& picture, size_t at, int hour, std::string* out) {
    const bool pm = hour >= kHalfDay;
    if (startsWithNoCase(picture, at, "am/pm")) {
        if (out) *out = picture.substr(at + (pm ? 3 : 0), 2);   // the case as written
        return 5;
    }
    if (startsWithNoCase(picture, at, "a/p")) {
        if (out) *out = picture.substr(at + (pm ? 2 : 0), 1);
        return 3;
    }
    if (startsWithNoCase(picture, at, "ampm")) {
        if (out) *out = pm ? kPmString : kAmString;
        return 4;
    }
    return 0;
}

bool hasAmPm(const std::string& picture) {
    bool found = false;
    ForEachUnquoted(picture, [&](size_t i) {
        found = amPmMarker(picture, i, 0, nullptr) > 0;
        return !found;
    });
    return found;
}

std::string format(const DateTime& t, const std::string& picture);

// One run of a letter (`n` of them at `i`); appends its text to out.
void formatRun(const DateTime& t, char c, size_t n, bool twelveHour, bool& afterHour, std::string& out) {
    const bool wasAfterHour = afterHour;
    afterHour = false;
    switch (c) {
    case 'y':
        out += n <= 2 ? number(t.year % 100, 2) : number(t.year, 4);
        break;
    case 'm':
        if (n >= 4) out += kLongMonthNames[t.month - 1];
        else if (n == 3) out += kShortMonthNames[t.month - 1];
        else out += number(wasAfterHour ? t.minute : t.month, static_cast<int>(n));
        break;
    case 'd':
        if (n >= 6) out += format(t, kLongDatePicture);
        else if (n == 5) out += format(t, kShortDatePicture);
        else if (n == 4) out += kLongDayNames[dayOfWeek(t.year, t.month, t.day)];
        else if (n == 3) out += kShortDayNames[dayOfWeek(t.year, t.month, t.day)];
        else out += number(t.day, static_cast<int>(n));
        break;
    case 'h': {
        int hour = t.hour;
        if (twelveHour) hour = hour % kHalfDay == 0 ? kHalfDay : hour % kHalfDay;
        out += number(hour, n >= 2 ? 2 : 1);
        afterHour = true;
        break;
    }
    case 'n':
        out += number(t.minute, n >= 2 ? 2 : 1);
        break;
    case 's':
        out += number(t.second, n >= 2 ? 2 : 1);
        break;
    case 'z':
        out += n >= 3 ? "000" : "0";   // the values carry no fractions of a second
        break;
    case 't':
        out += format(t, n >= 2 ? kLongTimePicture : kShortTimePicture);
        break;
    case 'c':
        out += format(t, kShortDatePicture);
        if (t.hour || t.minute || t.second) out += " " + format(t, kLongTimePicture);
        break;
    }
}

std::string format(const DateTime& t, const std::string& picture) {
    std::string out;
    const bool twelveHour = hasAmPm(picture);
    bool afterHour = false;
    size_t i = 0;
    while (i < picture.size()) {
        const char raw = picture[i];
        if (raw == '"' || raw == '\'') {
            size_t end = picture.find(raw, i + 1);
            if (end == std::string::npos) end = picture.size();
            out.append(picture, i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        std::string marker;
        if (const size_t len = amPmMarker(picture, i, t.hour, &marker)) {
            out += marker;
            i += len;
            afterHour = false;
            continue;
        }
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
        if (std::string("ymdhnsztc").find(c) == std::string::npos) {
            out += raw;
            ++i;
            continue;
        }
        size_t n = 1;
        while (i + n < picture.size() && std::tolower(static_cast<unsigned char>(picture[i + n])) == c) ++n;
        // 'c' and 't' stand alone: "cc" is two of them.
        if (c == 'c') n = 1;
        formatRun(t, c, n, twelveHour, afterHour, out);
        i += n;
    }
    return out;
}

}  // namespace

std::string FormatDateTimePicture(int year, int month, int day, int hour, int minute, int second,
                                  const std::string& picture) {
    return format(DateTime{year, month, day, hour, minute, second}, picture);
}

}  // namespace kelv_odbc
