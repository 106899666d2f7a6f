// Grid values formatted by column type, and the format lookup by column name.
#include "GridFormat.h"

#include <sqlext.h>

#include <cctype>

namespace kelv_odbc {

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
