#include "KvDayList.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>

#include "KvCom.h"
#include "KvText.h"

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

bool SplitDate(const std::string& day, int& y, int& m, int& d) {
    if (day.size() != 8 || day.find_first_not_of("0123456789") != std::string::npos) return false;
    y = std::stoi(day.substr(0, 4));
    m = std::stoi(day.substr(4, 2));
    d = std::stoi(day.substr(6, 2));
    return y >= 1 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}

// 0 = Sunday (Sakamoto's method).
int WeekDay(int y, int m, int d) {
    static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (m < 3) y -= 1;
    return (y + y / 4 - y / 100 + y / 400 + t[m - 1] + d) % 7;
}

}  // namespace

std::vector<std::string> ListStatDays(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> days;
    // Whatever the kind of entry: the reader reports what it cannot open.
    for (const std::string& name : ListMatchingFiles(dir, prefix + "*.dat", false)) {
        const int value = FileNameToDate(name, "", prefix);
        if (value <= 0) continue;
        const std::string text = std::to_string(value);
        int y, m, d;
        if (SplitDate(text, y, m, d)) days.push_back(text);
    }
    std::sort(days.begin(), days.end());
    // "MU20261204.dat" and "mu20261204.DAT" are the same day.
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

std::string StatFileOfDay(const std::string& dir, const std::string& prefix, const std::string& day) {
    const std::string exact = MakeDatFileName(dir, "", prefix, day);
    struct stat info {};
    if (::stat(exact.c_str(), &info) == 0) return exact;
    std::vector<std::string> spelled = ListMatchingFiles(Trim(dir), Trim(prefix) + Trim(day) + ".dat", false);
    if (spelled.empty()) return exact;
    std::sort(spelled.begin(), spelled.end());   // the same choice every time
    return Trim(dir) + "/" + spelled.front();
}

std::string DayLabel(const std::string& day) {
    static const char* const kWeekDays[] = {"日", "月", "火", "水", "木", "金", "土"};
    int y, m, d;
    if (!SplitDate(day, y, m, d)) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d(%s)", y % 100, m, d, kWeekDays[WeekDay(y, m, d)]);
    return text;
}
