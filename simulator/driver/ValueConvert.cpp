#include "ValueConvert.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kelvsim {

namespace {

[[noreturn]] void InvalidCharacterValue() {
    throw OdbcFailure("22018", "Invalid character value for cast specification");
}
[[noreturn]] void OutOfRange() {
    throw OdbcFailure("22003", "Numeric value out of range");
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Number texts come in the session's NLS form: a decimal comma reads as a point.
std::string WithDecimalPoint(std::string text) {
    if (text.find('.') == std::string::npos) {
        const auto comma = text.find(',');
        if (comma != std::string::npos && text.find(',', comma + 1) == std::string::npos) text[comma] = '.';
    }
    return text;
}

long double ParseNumber(const std::string& value) {
    const std::string text = WithDecimalPoint(Trimmed(value));
    if (text.empty())
        InvalidCharacterValue();
    char* end = nullptr;
    errno = 0;
    const long double number = std::strtold(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || std::isnan(number))
        InvalidCharacterValue();
    if (errno == ERANGE && std::isinf(number))
        OutOfRange();
    return number;
}

template <class T>
void StoreInteger(Diagnostics& diag, const std::string& value, SQLPOINTER target) {
    const long double number = ParseNumber(value);
    const long double whole = std::trunc(number);
    if (whole < static_cast<long double>(std::numeric_limits<T>::min()) ||
        whole > static_cast<long double>(std::numeric_limits<T>::max()))
        OutOfRange();
    if (whole != number)
        diag.Add("01S07", "Fractional truncation");
    T result = static_cast<T>(whole);
    // Whole numbers of 64-bit range lose precision through long double only
    // beyond 2^64; read them exactly when the text is a plain integer.
    if (sizeof(T) == 8 && whole == number) {
        const std::string text = Trimmed(value);
        char* end = nullptr;
        errno = 0;
        if (std::numeric_limits<T>::is_signed) {
            long long exact = std::strtoll(text.c_str(), &end, 10);
            if (*end == '\0' && errno == 0)
                result = static_cast<T>(exact);
        } else {
            unsigned long long exact = std::strtoull(text.c_str(), &end, 10);
            if (*end == '\0' && errno == 0)
                result = static_cast<T>(exact);
        }
    }
    std::memcpy(target, &result, sizeof result);
}

template <class T>
void StoreFloating(const std::string& value, SQLPOINTER target) {
    const long double number = ParseNumber(value);
    if (std::fabs(number) > static_cast<long double>(std::numeric_limits<T>::max()))
        OutOfRange();
    const T result = static_cast<T>(number);
    std::memcpy(target, &result, sizeof result);
}

struct DateTimeParts {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    unsigned long Fraction = 0;  // nanoseconds
    bool HasDate = false;
};

DateTimeParts ParseDateTime(const std::string& value) {
    DateTimeParts parts;
    const std::string text = Trimmed(value);
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &parts.Year, &parts.Month, &parts.Day, &consumed) == 3) {
        parts.HasDate = true;
        const char* rest = text.c_str() + consumed;
        while (*rest == ' ' || *rest == 'T')
            ++rest;
        if (*rest) {
            int timeUsed = 0;
            if (std::sscanf(rest, "%2d:%2d:%2d%n", &parts.Hour, &parts.Minute, &parts.Second, &timeUsed) != 3)
                InvalidCharacterValue();
            rest += timeUsed;
            if (*rest == '.') {
                std::string digits;
                for (++rest; *rest >= '0' && *rest <= '9'; ++rest)
                    digits += *rest;
                digits.resize(9, '0');
                parts.Fraction = std::strtoul(digits.substr(0, 9).c_str(), nullptr, 10);
            }
        }
    } else if (std::sscanf(text.c_str(), "%2d:%2d:%2d", &parts.Hour, &parts.Minute, &parts.Second) != 3) {
        InvalidCharacterValue();
    }
    if ((parts.HasDate && (parts.Month < 1 || parts.Month > 12 || parts.Day < 1 || parts.Day > 31)) ||
        parts.Hour > 23 || parts.Minute > 59 || parts.Second > 61)
        throw OdbcFailure("22007", "Invalid datetime format");
    return parts;
}

std::string FormatNumber(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

}  // namespace

SQLSMALLINT DefaultCType(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_BIT: return SQL_C_BIT;
    case SQL_TINYINT: return SQL_C_STINYINT;
    case SQL_SMALLINT: return SQL_C_SSHORT;
    case SQL_INTEGER: return SQL_C_SLONG;
    case SQL_BIGINT: return SQL_C_SBIGINT;
    case SQL_REAL: return SQL_C_FLOAT;
    case SQL_FLOAT:
    case SQL_DOUBLE: return SQL_C_DOUBLE;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return SQL_C_BINARY;
    case SQL_DATE:
    case SQL_TYPE_DATE: return SQL_C_TYPE_DATE;
    case SQL_TIME:
    case SQL_TYPE_TIME: return SQL_C_TYPE_TIME;
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP: return SQL_C_TYPE_TIMESTAMP;
    default: return SQL_C_CHAR;  // character, NUMERIC and DECIMAL
    }
}

bool IsVariableLengthCType(SQLSMALLINT cType) {
    return cType == SQL_C_CHAR || cType == SQL_C_BINARY;
}

size_t FixedCTypeSize(SQLSMALLINT cType) {
    switch (cType) {
    case SQL_C_SLONG: case SQL_C_LONG: case SQL_C_ULONG: return sizeof(SQLINTEGER);
    case SQL_C_SSHORT: case SQL_C_SHORT: case SQL_C_USHORT: return sizeof(SQLSMALLINT);
    case SQL_C_STINYINT: case SQL_C_TINYINT: case SQL_C_UTINYINT: case SQL_C_BIT: return 1;
    case SQL_C_SBIGINT: case SQL_C_UBIGINT: return sizeof(SQLBIGINT);
    case SQL_C_FLOAT: return sizeof(SQLREAL);
    case SQL_C_DOUBLE: return sizeof(SQLDOUBLE);
    case SQL_C_TYPE_DATE: case SQL_C_DATE: return sizeof(SQL_DATE_STRUCT);
    case SQL_C_TYPE_TIME: case SQL_C_TIME: return sizeof(SQL_TIME_STRUCT);
    case SQL_C_TYPE_TIMESTAMP: case SQL_C_TIMESTAMP: return sizeof(SQL_TIMESTAMP_STRUCT);
    default: return 0;
    }
}

SQLLEN ConvertValue(Diagnostics& diag, const std::string& value, SQLSMALLINT sqlType, SQLSMALLINT cType,
                    SQLPOINTER target, SQLLEN bufferLength, size_t offset, bool& truncated, size_t& consumed) {
    truncated = false;
    consumed = 0;
    if (cType == SQL_C_DEFAULT)
        cType = DefaultCType(sqlType);
    if (cType == SQL_C_CHAR || cType == SQL_C_BINARY) {
        const size_t available = offset < value.size() ? value.size() - offset : 0;
        const bool terminate = cType == SQL_C_CHAR;
        size_t room = 0;
        if (bufferLength > 0)
            room = static_cast<size_t>(bufferLength) - (terminate ? 1 : 0);
        const size_t copied = std::min(room, available);
        if (target && bufferLength > 0) {
            std::memcpy(target, value.data() + offset, copied);
            if (terminate)
                static_cast<char*>(target)[copied] = '\0';
        }
        consumed = copied;
        truncated = copied < available;
        return static_cast<SQLLEN>(available);
    }
    if (!target)
        throw OdbcFailure("HY009", "Invalid use of null pointer");
    switch (cType) {
    case SQL_C_SLONG: case SQL_C_LONG: StoreInteger<SQLINTEGER>(diag, value, target); break;
    case SQL_C_ULONG: StoreInteger<SQLUINTEGER>(diag, value, target); break;
    case SQL_C_SSHORT: case SQL_C_SHORT: StoreInteger<SQLSMALLINT>(diag, value, target); break;
    case SQL_C_USHORT: StoreInteger<SQLUSMALLINT>(diag, value, target); break;
    case SQL_C_STINYINT: case SQL_C_TINYINT: StoreInteger<SQLSCHAR>(diag, value, target); break;
    case SQL_C_UTINYINT: StoreInteger<SQLCHAR>(diag, value, target); break;
    case SQL_C_SBIGINT: StoreInteger<SQLBIGINT>(diag, value, target); break;
    case SQL_C_UBIGINT: StoreInteger<SQLUBIGINT>(diag, value, target); break;
    case SQL_C_BIT: {
        const long double number = ParseNumber(value);
        if (number < 0 || number >= 2)
            OutOfRange();
        if (number != 0 && number != 1)
            diag.Add("01S07", "Fractional truncation");
        *static_cast<SQLCHAR*>(target) = number >= 1 ? 1 : 0;
        break;
    }
    case SQL_C_FLOAT: StoreFloating<SQLREAL>(value, target); break;
    case SQL_C_DOUBLE: StoreFloating<SQLDOUBLE>(value, target); break;
    case SQL_C_TYPE_DATE:
    case SQL_C_DATE: {
        const DateTimeParts parts = ParseDateTime(value);
        if (!parts.HasDate)
            InvalidCharacterValue();
        SQL_DATE_STRUCT date{static_cast<SQLSMALLINT>(parts.Year), static_cast<SQLUSMALLINT>(parts.Month),
                             static_cast<SQLUSMALLINT>(parts.Day)};
        std::memcpy(target, &date, sizeof date);
        break;
    }
    case SQL_C_TYPE_TIME:
    case SQL_C_TIME: {
        const DateTimeParts parts = ParseDateTime(value);
        SQL_TIME_STRUCT time{static_cast<SQLUSMALLINT>(parts.Hour), static_cast<SQLUSMALLINT>(parts.Minute),
                             static_cast<SQLUSMALLINT>(parts.Second)};
        std::memcpy(target, &time, sizeof time);
        break;
    }
    case SQL_C_TYPE_TIMESTAMP:
    case SQL_C_TIMESTAMP: {
        const DateTimeParts parts = ParseDateTime(value);
        SQL_TIMESTAMP_STRUCT stamp{};
        stamp.year = static_cast<SQLSMALLINT>(parts.Year);
        stamp.month = static_cast<SQLUSMALLINT>(parts.Month);
        stamp.day = static_cast<SQLUSMALLINT>(parts.Day);
        stamp.hour = static_cast<SQLUSMALLINT>(parts.Hour);
        stamp.minute = static_cast<SQLUSMALLINT>(parts.Minute);
        stamp.second = static_cast<SQLUSMALLINT>(parts.Second);
        stamp.fraction = static_cast<SQLUINTEGER>(parts.Fraction);
        std::memcpy(target, &stamp, sizeof stamp);
        break;
    }
    default:
        throw OdbcFailure("HY003", "Program type out of range");
    }
    return static_cast<SQLLEN>(FixedCTypeSize(cType));
}

std::optional<std::string> ParameterText(const BoundParameter& p) {
    const SQLSMALLINT cType = p.CType == SQL_C_DEFAULT ? DefaultCType(p.SqlType) : p.CType;
    SQLLEN indicator = SQL_NTS;
    if (p.Indicator)
        indicator = *p.Indicator;
    else if (cType == SQL_C_BINARY)
        indicator = p.BufferLength;
    if (indicator == SQL_NULL_DATA)
        return std::nullopt;
    if (indicator == SQL_DATA_AT_EXEC || indicator <= SQL_LEN_DATA_AT_EXEC_OFFSET)
        throw OdbcFailure("HYC00", "Optional feature not implemented");
    if (!p.Value)
        throw OdbcFailure("HY009", "Invalid use of null pointer");
    const void* data = p.Value;
    switch (cType) {
    case SQL_C_CHAR: {
        const char* text = static_cast<const char*>(data);
        if (indicator == SQL_NTS) {
            // Never read past the buffer the application declared.
            const size_t limit = p.BufferLength > 0 ? static_cast<size_t>(p.BufferLength) : std::string::npos;
            return std::string(text, limit == std::string::npos ? std::strlen(text) : strnlen(text, limit));
        }
        if (indicator < 0)
            throw OdbcFailure("HY090", "Invalid string or buffer length");
        return std::string(text, static_cast<size_t>(indicator));
    }
    case SQL_C_BINARY: {
        if (indicator < 0)
            throw OdbcFailure("HY090", "Invalid string or buffer length");
        static const char digits[] = "0123456789ABCDEF";
        std::string hex;
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (SQLLEN i = 0; i < indicator; ++i) {
            hex += digits[bytes[i] >> 4];
            hex += digits[bytes[i] & 0x0F];
        }
        return hex;
    }
    case SQL_C_SLONG: case SQL_C_LONG: return std::to_string(*static_cast<const SQLINTEGER*>(data));
    case SQL_C_ULONG: return std::to_string(*static_cast<const SQLUINTEGER*>(data));
    case SQL_C_SSHORT: case SQL_C_SHORT: return std::to_string(*static_cast<const SQLSMALLINT*>(data));
    case SQL_C_USHORT: return std::to_string(*static_cast<const SQLUSMALLINT*>(data));
    case SQL_C_STINYINT: case SQL_C_TINYINT: return std::to_string(*static_cast<const SQLSCHAR*>(data));
    case SQL_C_UTINYINT: case SQL_C_BIT: return std::to_string(*static_cast<const SQLCHAR*>(data));
    case SQL_C_SBIGINT: return std::to_string(*static_cast<const SQLBIGINT*>(data));
    case SQL_C_UBIGINT: return std::to_string(*static_cast<const SQLUBIGINT*>(data));
    case SQL_C_DOUBLE: return FormatNumber(*static_cast<const SQLDOUBLE*>(data), 17);
    case SQL_C_FLOAT: return FormatNumber(*static_cast<const SQLREAL*>(data), 9);
    case SQL_C_TYPE_DATE:
    case SQL_C_DATE: {
        const auto* d = static_cast<const SQL_DATE_STRUCT*>(data);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", d->year, d->month, d->day);
        return std::string(text);
    }
    case SQL_C_TYPE_TIMESTAMP:
    case SQL_C_TIMESTAMP: {
        const auto* t = static_cast<const SQL_TIMESTAMP_STRUCT*>(data);
        char text[48];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:%02u", t->year, t->month, t->day, t->hour,
                      t->minute, t->second);
        return std::string(text);
    }
    default:
        throw OdbcFailure("HY003", "Program type out of range");
    }
}

size_t CountParameterMarkers(const std::string& sql) {
    size_t count = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            const size_t close = sql.find(c, i + 1);
            if (close == std::string::npos)
                break;
            i = close;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t end = sql.find('\n', i);
            if (end == std::string::npos)
                break;
            i = end;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const size_t end = sql.find("*/", i + 2);
            if (end == std::string::npos)
                break;
            i = end + 1;
        } else if (c == '?') {
            ++count;
        }
    }
    return count;
}

}  // namespace kelvsim
