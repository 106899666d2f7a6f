#include "OracleText.h"

#include "OracleLexer.h"
#include "SqlErrors.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

constexpr int kSignificantDigits = 15;      // what a double carries reliably
constexpr double kPlainIntegerLimit = 1e30; // beyond this Oracle uses exponent form too
const char* const kDayAbbrev[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
const char* const kDayNames[] = {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"};
const char* const kMonthAbbrev[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                    "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* const kMonthNames[] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                                   "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

int DayOfWeek(const OraDate& d) {  // 0 = Sunday
    int64_t days = DaysFromCivil(d.Year, static_cast<unsigned>(d.Month), static_cast<unsigned>(d.Day));
    return static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
}

int DaysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : kDays[m - 1];
}

bool StartsWithCi(const std::string& text, size_t pos, const char* word) {
    size_t n = std::strlen(word);
    if (pos + n > text.size()) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(text[pos + i])) != word[i]) return false;
    return true;
}

// Format elements, longest first so that HH24 wins over HH and MONTH over MON.
const char* const kElements[] = {"YYYY", "HH24", "HH12", "MONTH", "MON", "DAY", "YY", "RR", "MM", "DD",
                                 "DY",   "HH",   "MI",   "SS",    "AM",  "PM",  "D"};

std::string Pad(int value, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

// Applies the case of the mask element to a name ("Dy" -> "Mon", "dy" -> "mon").
std::string CaseLike(const std::string& mask, size_t pos, std::string upperName) {
    bool firstUpper = std::isupper(static_cast<unsigned char>(mask[pos])) != 0;
    bool secondUpper = pos + 1 < mask.size() && std::isupper(static_cast<unsigned char>(mask[pos + 1]));
    if (firstUpper && secondUpper) return upperName;
    for (size_t i = 0; i < upperName.size(); ++i)
        upperName[i] = static_cast<char>((i == 0 && firstUpper) ? upperName[i] : std::tolower(static_cast<unsigned char>(upperName[i])));
    return upperName;
}

SimError BadFormat() { return OraError("HY000", 1821, "date format not recognized"); }
SimError BadDate() { return OraError("22007", 1861, "literal does not match format string"); }

}  // namespace

std::string FormatOracleNumber(double value) {
    if (std::isnan(value) || std::isinf(value)) return value < 0 ? "-~" : "~";
    if (value == 0) return "0";
    if (std::fabs(value) < kPlainIntegerLimit && value == std::floor(value)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.0f", value);
        return buf;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", kSignificantDigits, value);
    std::string text = buf;
    if (text.find('e') != std::string::npos) {
        // Small magnitudes: spell the digits out as Oracle does (0.0000125 -> .0000125).
        if (std::fabs(value) < 1e-20 || std::fabs(value) >= 1) return text;
        std::snprintf(buf, sizeof buf, "%.*e", kSignificantDigits - 1, std::fabs(value));
        std::string mantissa(buf, std::strchr(buf, 'e'));
        int exponent = std::atoi(std::strchr(buf, 'e') + 1);
        mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
        text = (value < 0 ? "-0." : "0.") + std::string(static_cast<size_t>(-exponent - 1), '0') + mantissa;
    }
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0') text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    if (text.rfind("0.", 0) == 0) text.erase(0, 1);
    else if (text.rfind("-0.", 0) == 0) text.erase(1, 1);
    return text;
}

std::optional<OraDate> ParseDateText(const std::string& text) {
    OraDate d;
    int consumed = 0;
    if (text.size() >= 19 &&
        std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &d.Year, &d.Month, &d.Day, &d.Hour, &d.Minute,
                    &d.Second, &consumed) == 6 && consumed == static_cast<int>(text.size())) {
    } else if (text.size() == 10 &&
               std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &d.Year, &d.Month, &d.Day, &consumed) == 3 &&
               consumed == 10) {
    } else {
        return std::nullopt;
    }
    if (d.Month < 1 || d.Month > 12 || d.Day < 1 || d.Day > DaysInMonth(d.Year, d.Month) || d.Hour > 23 ||
        d.Minute > 59 || d.Second > 59)
        return std::nullopt;
    return d;
}

std::string FormatDateText(const OraDate& d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.Year, d.Month, d.Day, d.Hour, d.Minute,
                  d.Second);
    return buf;
}

OraDate DateFromUnix(int64_t seconds) {
    int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    int64_t rest = seconds - days * 86400;
    OraDate d;
    CivilFromDays(days, d.Year, d.Month, d.Day);
    d.Hour = static_cast<int>(rest / 3600);
    d.Minute = static_cast<int>(rest % 3600 / 60);
    d.Second = static_cast<int>(rest % 60);
    return d;
}

int64_t UnixFromDate(const OraDate& d) {
    return DaysFromCivil(d.Year, static_cast<unsigned>(d.Month), static_cast<unsigned>(d.Day)) * 86400 +
           d.Hour * 3600 + d.Minute * 60 + d.Second;
}

std::string FormatDateMask(const OraDate& d, const std::string& mask) {
    std::string out;
    size_t i = 0;
    while (i < mask.size()) {
        char c = mask[i];
        if (c == '"') {
            size_t end = mask.find('"', i + 1);
            if (end == std::string::npos) throw BadFormat();
            out += mask.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            out += c;
            ++i;
            continue;
        }
        const char* element = nullptr;
        for (const char* e : kElements)
            if (StartsWithCi(mask, i, e)) {
                element = e;
                break;
            }
        if (!element) throw BadFormat();
        std::string el = element;
        if (el == "YYYY") out += Pad(d.Year, 4);
        else if (el == "YY" || el == "RR") out += Pad(d.Year % 100, 2);
        else if (el == "MM") out += Pad(d.Month, 2);
        else if (el == "MON") out += CaseLike(mask, i, kMonthAbbrev[d.Month - 1]);
        else if (el == "MONTH") {
            std::string name = kMonthNames[d.Month - 1];
            name.resize(9, ' ');
            out += CaseLike(mask, i, name);
        } else if (el == "DD") out += Pad(d.Day, 2);
        else if (el == "DY") out += CaseLike(mask, i, kDayAbbrev[DayOfWeek(d)]);
        else if (el == "DAY") {
            std::string name = kDayNames[DayOfWeek(d)];
            name.resize(9, ' ');
            out += CaseLike(mask, i, name);
        } else if (el == "D") out += std::to_string(DayOfWeek(d) + 1);
        else if (el == "HH24") out += Pad(d.Hour, 2);
        else if (el == "HH" || el == "HH12") out += Pad(d.Hour % 12 == 0 ? 12 : d.Hour % 12, 2);
        else if (el == "MI") out += Pad(d.Minute, 2);
        else if (el == "SS") out += Pad(d.Second, 2);
        else if (el == "AM" || el == "PM") out += d.Hour < 12 ? "AM" : "PM";
        i += el.size();
    }
    return out;
}

OraDate ParseDateMask(const std::string& text, const std::string& mask, int centuryBase) {
    OraDate d;
    d.Year = centuryBase;
    d.Month = 1;
    d.Day = 1;
    bool pm = false, twelveHour = false;
    size_t t = 0, i = 0;
    auto number = [&](size_t maxDigits) {
        while (t < text.size() && text[t] == ' ') ++t;
        size_t start = t;
        int value = 0;
        while (t < text.size() && t - start < maxDigits && std::isdigit(static_cast<unsigned char>(text[t])))
            value = value * 10 + (text[t++] - '0');
        if (t == start) throw BadDate();
        return value;
    };
    auto name = [&](const char* const* names, int count, bool abbrev) {
        for (int k = 0; k < count; ++k) {
            std::string n = names[k];
            if (abbrev) n = n.substr(0, 3);
            if (StartsWithCi(text, t, n.c_str())) {
                t += n.size();
                return k;
            }
        }
        throw OraError("22007", 1843, "not a valid month");
    };
    while (i < mask.size()) {
        char c = mask[i];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            if (t < text.size() && !std::isalnum(static_cast<unsigned char>(text[t]))) ++t;
            ++i;
            continue;
        }
        const char* element = nullptr;
        for (const char* e : kElements)
            if (StartsWithCi(mask, i, e)) {
                element = e;
                break;
            }
        if (!element) throw BadFormat();
        std::string el = element;
        if (el == "YYYY") d.Year = number(4);
        else if (el == "YY" || el == "RR") d.Year = centuryBase / 100 * 100 + number(2);
        else if (el == "MM") d.Month = number(2);
        else if (el == "MON") d.Month = name(kMonthAbbrev, 12, false) + 1;
        else if (el == "MONTH") d.Month = name(kMonthNames, 12, false) + 1;
        else if (el == "DD") d.Day = number(2);
        else if (el == "DY") name(kDayAbbrev, 7, false);
        else if (el == "DAY") name(kDayNames, 7, false);
        else if (el == "D") number(1);
        else if (el == "HH24") d.Hour = number(2);
        else if (el == "HH" || el == "HH12") {
            d.Hour = number(2);
            twelveHour = true;
        } else if (el == "MI") d.Minute = number(2);
        else if (el == "SS") d.Second = number(2);
        else if (el == "AM" || el == "PM") {
            pm = StartsWithCi(text, t, "PM");
            t += 2;
        }
        i += el.size();
    }
    while (t < text.size() && text[t] == ' ') ++t;
    if (t != text.size()) throw OraError("22007", 1830, "date format picture ends before converting entire input string");
    if (twelveHour) {
        if (d.Hour < 1 || d.Hour > 12) throw OraError("22008", 1849, "hour must be between 1 and 12");
        d.Hour = d.Hour % 12 + (pm ? 12 : 0);
    }
    if (d.Month < 1 || d.Month > 12) throw OraError("22008", 1843, "not a valid month");
    if (d.Day < 1 || d.Day > DaysInMonth(d.Year, d.Month))
        throw OraError("22008", 1847, "day of month must be between 1 and last day of month");
    if (d.Hour > 23) throw OraError("22008", 1850, "hour must be between 0 and 23");
    if (d.Minute > 59) throw OraError("22008", 1851, "minutes must be between 0 and 59");
    if (d.Second > 59) throw OraError("22008", 1852, "seconds must be between 0 and 59");
    return d;
}

}  // namespace sim
