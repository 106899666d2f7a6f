// Numeric and date-time pictures for grid values.
#include "GridFormat.h"

#include <sqlext.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kelv_odbc {

namespace {

std::vector<std::string> splitSections(const std::string& picture) {
    std::vector<std::string> sections(1);
    char quote = 0;
    for (char c : picture) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ';') {
            sections.emplace_back();
            continue;
        }
        sections.back() += c;
    }
    return sections;
}

bool parseNumber(const std::string& text, double& value) {
    const char* begin = text.c_str();
    while (*begin == ' ') ++begin;
    if (*begin == '\0') return false;
    char* end = nullptr;
    value = std::strtod(begin, &end);
    if (end == begin) return false;
    while (*end == ' ') ++end;
    return *end == '\0' && std::isfinite(value);
}

// Literal text of a picture part with its quotes removed.
std::string literalText(const std::string& part) {
    std::string out;
    char quote = 0;
    for (char c : part) {
        if (quote) {
            if (c == quote) quote = 0;
            else out += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else {
            out += c;
        }
    }
    return out;
}

std::string groupThousands(const std::string& digits) {
    std::string out;
    const size_t n = digits.size();
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace

bool FormatFloatPicture(const std::string& text, const std::string& picture, std::string& out) {
    double value = 0;
    if (!parseNumber(text, value)) return false;
    const std::vector<std::string> sections = splitSections(picture);
    std::string section = sections[0];
    bool withMinus = value < 0;
    if (value < 0 && sections.size() > 1 && !sections[1].empty()) {
        section = sections[1];
        withMinus = false;
    } else if (value == 0 && sections.size() > 2 && !sections[2].empty()) {
        section = sections[2];
    }

    // Locate the digit pattern between the literal prefix and suffix.
    size_t first = std::string::npos, last = std::string::npos;
    char quote = 0;
    for (size_t i = 0; i < section.size(); ++i) {
        char c = section[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '0' || c == '#' || c == '.' || c == ',') {
            if (first == std::string::npos) first = i;
            last = i;
        }
    }
    if (first == std::string::npos) {
        out = literalText(section);
        return true;
    }
    const std::string prefix = literalText(section.substr(0, first));
    const std::string suffix = literalText(section.substr(last + 1));
    const std::string pattern = section.substr(first, last - first + 1);

    const size_t point = pattern.find('.');
    const std::string intPart = pattern.substr(0, point);
    const std::string fracPart = point == std::string::npos ? std::string() : pattern.substr(point + 1);
    int minInt = 0, minFrac = 0, maxFrac = 0;
    bool grouping = false;
    for (char c : intPart) {
        if (c == '0') ++minInt;
        if (c == ',') grouping = true;
    }
    for (char c : fracPart) {
        if (c == '0') ++minFrac;
        if (c == '0' || c == '#') ++maxFrac;
    }

    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", maxFrac, std::fabs(value));
    std::string digits(buf);
    std::string whole = digits, frac;
    const size_t dot = digits.find('.');
    if (dot != std::string::npos) {
        whole = digits.substr(0, dot);
        frac = digits.substr(dot + 1);
    }
    while (static_cast<int>(frac.size()) > minFrac && !frac.empty() && frac.back() == '0') frac.pop_back();
    if (whole == "0" && minInt == 0) whole.clear();
    while (static_cast<int>(whole.size()) < minInt) whole.insert(whole.begin(), '0');
    if (grouping) whole = groupThousands(whole);

    const bool nonZero = whole.find_first_not_of("0,") != std::string::npos ||
                         frac.find_first_not_of('0') != std::string::npos;
    out = prefix;
    if (withMinus && nonZero) out += '-';
    out += whole;
    if (!frac.empty()) out += "." + frac;
    out += suffix;
    return true;
}

std::string FormatDateTimePicture(int year, int month, int day, int hour, int minute, int second,
                                  const std::string& picture) {
    std::string out;
    bool afterHour = false;
    size_t i = 0;
    auto count = [&](char c) {
        size_t n = 0;
        while (i + n < picture.size() && std::tolower(static_cast<unsigned char>(picture[i + n])) == c) ++n;
        return n;
    };
    auto num = [](int v, int width) {
        char b[16];
        std::snprintf(b, sizeof b, "%0*d", width, v);
        return std::string(b);
    };
    while (i < picture.size()) {
        const char raw = picture[i];
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
        if (raw == '"' || raw == '\'') {
            size_t end = picture.find(raw, i + 1);
            if (end == std::string::npos) end = picture.size();
            out.append(picture, i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        size_t n = 1;
        if (c == 'y') {
            n = count('y');
            out += n <= 2 ? num(year % 100, 2) : num(year, 4);
        } else if (c == 'm') {
            n = count('m');
            int v = afterHour ? minute : month;
            out += num(v, n >= 2 ? 2 : 1);
            afterHour = false;
        } else if (c == 'd') {
            n = count('d');
            out += num(day, n >= 2 ? 2 : 1);
        } else if (c == 'h') {
            n = count('h');
            out += num(hour, n >= 2 ? 2 : 1);
            afterHour = true;
        } else if (c == 'n') {
            n = count('n');
            out += num(minute, n >= 2 ? 2 : 1);
        } else if (c == 's') {
            n = count('s');
            out += num(second, n >= 2 ? 2 : 1);
        } else if (c == 'z') {
            n = count('z');
            out += n >= 3 ? "000" : "0";
        } else {
            out += raw;
        }
        i += n;
    }
    return out;
}

namespace {

bool readInt(const std::string& s, size_t pos, size_t len, int& v) {
    if (pos + len > s.size()) return false;
    v = 0;
    for (size_t i = pos; i < pos + len; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        v = v * 10 + (s[i] - '0');
    }
    return true;
}

bool validDate(int y, int m, int d) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1) return false;
    int limit = days[m - 1];
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) limit = 29;
    return d <= limit;
}

bool validTime(int h, int n, int s) { return h >= 0 && h < 24 && n >= 0 && n < 60 && s >= 0 && s < 60; }

}  // namespace

std::string FormatGridValue(const std::string& value, const std::string& format, SQLSMALLINT sqlType,
                            bool numeric) {
    if (format.empty()) return value;
    if (numeric) {
        std::string out;
        return FormatFloatPicture(value, format, out) ? out : value;
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    switch (sqlType) {
    case SQL_DATE:
    case SQL_TYPE_DATE:
        if (readInt(value, 0, 4, y) && readInt(value, 5, 2, mo) && readInt(value, 8, 2, d) && validDate(y, mo, d))
            return FormatDateTimePicture(y, mo, d, 0, 0, 0, format);
        return value;
    case SQL_TIME:
    case SQL_TYPE_TIME:
        if (readInt(value, 0, 2, h) && readInt(value, 3, 2, mi) && readInt(value, 6, 2, s) && validTime(h, mi, s))
            return FormatDateTimePicture(1899, 12, 30, h, mi, s, format);
        return value;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP:
        if (readInt(value, 0, 4, y) && readInt(value, 5, 2, mo) && readInt(value, 8, 2, d) &&
            readInt(value, 11, 2, h) && readInt(value, 14, 2, mi) && readInt(value, 17, 2, s) &&
            validDate(y, mo, d) && validTime(h, mi, s))
            return FormatDateTimePicture(y, mo, d, h, mi, s, format);
        return value;
    default:
        return value;
    }
}

std::string GridFormatFor(const std::vector<std::string>& lines, const std::string& columnName) {
    for (const std::string& line : lines) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos && line.compare(0, eq, columnName) == 0) return line.substr(eq + 1);
    }
    return std::string();
}

}  // namespace kelv_odbc
