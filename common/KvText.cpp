// Fixed-width fields and date arithmetic on eight-digit dates.
#include "KvText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (m == 2 && IsLeapYear(y)) ? 29 : kDays[m - 1];
}

struct CivilDate {
    int Year, Month, Day;
};

constexpr int kMinYear = 1;
constexpr int kMaxYear = 9999;

bool IsValidDate(const CivilDate& d) {
    return d.Year >= kMinYear && d.Year <= kMaxYear && d.Month >= 1 && d.Month <= 12 && d.Day >= 1 &&
           d.Day <= DaysInMonth(d.Year, d.Month);
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(const CivilDate& d) {
    const int y = d.Month <= 2 ? d.Year - 1 : d.Year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned mp = static_cast<unsigned>(d.Month > 2 ? d.Month - 3 : d.Month + 9);
    const unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(d.Day) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long long>(era) * 146097 + static_cast<long long>(doe) - 719468;
}

CivilDate CivilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(m <= 2 ? y + 1 : y), static_cast<int>(m), static_cast<int>(d)};
}

CivilDate ParseDateText(const std::string& text) {
    if (text.size() != 8)
        throw std::invalid_argument("not a yyyymmdd date: '" + text + "'");
    for (char c : text)
        if (c < '0' || c > '9')
            throw std::invalid_argument("not a yyyymmdd date: '" + text + "'");
    const int value = std::atoi(text.c_str());
    CivilDate d{value / 10000, value / 100 % 100, value % 100};
    if (!IsValidDate(d))
        throw std::invalid_argument("not a calendar date: '" + text + "'");
    return d;
}

CivilDate DateFromInt(int yyyymmdd) {
    CivilDate d{yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100};
    if (yyyymmdd < 0 || !IsValidDate(d))
        throw std::invalid_argument("not a calendar date: " + std::to_string(yyyymmdd));
    return d;
}

std::string FormatCivil(const CivilDate& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.Year, d.Month, d.Day);
    return buf;
}

}  // namespace

std::string PadRight(const std::string& text, int width) {
    if (width <= 0)
        return std::string();
    std::string result = text.substr(0, static_cast<size_t>(width));
    result.resize(static_cast<size_t>(width), ' ');
    return result;
}

std::string ZeroPad(const std::string& text, int width) {
    if (width <= 0)
        return std::string();
    const std::string trimmed = Trim(text);
    const size_t w = static_cast<size_t>(width);
    std::string result = trimmed.size() >= w ? trimmed.substr(trimmed.size() - w)
                                             : std::string(w - trimmed.size(), ' ') + trimmed;
    for (char& c : result)
        if (c == ' ')
            c = '0';
    return result;
}

std::string AddDaysToDate(const std::string& yyyymmdd, int days) {
    const CivilDate result = CivilFromDays(DaysFromCivil(ParseDateText(yyyymmdd)) + days);
    if (!IsValidDate(result))
        throw std::invalid_argument("date out of range: " + yyyymmdd + " + " + std::to_string(days));
    return FormatCivil(result);
}

int DiffDays(int date1, int date2) {
    const long long diff = DaysFromCivil(DateFromInt(date1)) - DaysFromCivil(DateFromInt(date2));
    return static_cast<int>(diff < 0 ? -diff : diff);
}

long long DiffSeconds(std::time_t t1, std::time_t t2) {
    return t1 >= t2 ? static_cast<long long>(t1 - t2) : static_cast<long long>(t2 - t1);
}

std::string FormatDate(std::time_t t, const char* strftimeFormat) {
    std::tm local{};
    localtime_r(&t, &local);
    char buf[128];
    const size_t n = std::strftime(buf, sizeof buf, strftimeFormat, &local);
    return std::string(buf, n);
}

int DateAsInt(std::time_t t) {
    return std::atoi(FormatDate(t, "%Y%m%d").c_str());
}

std::string Trim(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && IsBlankOrControl(s[begin]))
        ++begin;
    while (end > begin && IsBlankOrControl(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

namespace {
// Sort key of one byte: its class first, then its place within the class.
int SortKeyOf(unsigned char c) {
    enum { kPunctuation = 0, kDigit = 1, kLetter = 2, kOther = 3 };
    constexpr int kClassSpan = 256;
    if (c >= '0' && c <= '9') return kDigit * kClassSpan + c;
    if (c >= 'a' && c <= 'z') return kLetter * kClassSpan + (c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return kLetter * kClassSpan + c;
    if (c < 0x80) return kPunctuation * kClassSpan + c;
    return kOther * kClassSpan + c;
}
}  // namespace

int CompareTextNoCase(const std::string& a, const std::string& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int ka = SortKeyOf(static_cast<unsigned char>(a[i]));
        const int kb = SortKeyOf(static_cast<unsigned char>(b[i]));
        if (ka != kb) return ka < kb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string UpperCase(const std::string& s) {
    // ASCII only: bytes of the system code page above 0x7F stay as they are.
    std::string result = s;
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

std::string UpperCaseShiftJis(const std::string& s) {
    std::string result = s;
    for (size_t i = 0; i < result.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(result[i]);
        const bool leadByte = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        if (leadByte)
            ++i;  // skip the second byte
        else if (c >= 'a' && c <= 'z')
            result[i] = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}
