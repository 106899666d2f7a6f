#include "OracleFunctions.h"

#include "OracleText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace sim {

namespace {

using Args = sqlite3_value**;

constexpr long long kMaxVarchar = 4000;  // longest VARCHAR2 a SQL function returns

std::string TextOf(sqlite3_value* v) {
    const unsigned char* t = sqlite3_value_text(v);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_value_bytes(v))) : std::string();
}

bool IsNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }
bool IsNumber(sqlite3_value* v) {
    int t = sqlite3_value_type(v);
    return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

// Text to number the Oracle way: blanks around allowed, nothing else.
bool ParseNumber(const std::string& text, double& out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    out = std::strtod(begin, &end);
    if (end == begin) return false;
    while (*end == ' ') ++end;
    return *end == '\0';
}

bool NumberOf(sqlite3_value* v, double& out) {
    if (IsNumber(v)) {
        out = sqlite3_value_double(v);
        return true;
    }
    return ParseNumber(TextOf(v), out);
}

void InvalidNumber(sqlite3_context* ctx) { sqlite3_result_error(ctx, "ORA-01722: invalid number", -1); }

void ResultText(sqlite3_context* ctx, const std::string& text) {
    if (text.empty()) sqlite3_result_null(ctx);  // Oracle: the empty string is NULL
    else sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void ResultNumber(sqlite3_context* ctx, double value) {
    if (std::fabs(value) < 9e15 && value == std::floor(value)) sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(value));
    else sqlite3_result_double(ctx, value);
}

// Runs a body and turns a SimError into the SQLite error text "ORA-...".
template <typename Body>
void Guarded(sqlite3_context* ctx, Body body) {
    try {
        body();
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

void Nvl(sqlite3_context* ctx, int, Args a) { sqlite3_result_value(ctx, IsNull(a[0]) ? a[1] : a[0]); }
void Nvl2(sqlite3_context* ctx, int, Args a) { sqlite3_result_value(ctx, IsNull(a[0]) ? a[2] : a[1]); }

bool DecodeEqual(sqlite3_value* x, sqlite3_value* y) {
    if (IsNull(x) || IsNull(y)) return IsNull(x) && IsNull(y);  // DECODE matches NULL with NULL
    if (IsNumber(x) && IsNumber(y)) return sqlite3_value_double(x) == sqlite3_value_double(y);
    if (IsNumber(x) || IsNumber(y)) {
        double dx, dy;
        return NumberOf(x, dx) && NumberOf(y, dy) && dx == dy;
    }
    return TextOf(x) == TextOf(y);
}

void Decode(sqlite3_context* ctx, int argc, Args a) {
    if (argc < 3) {
        sqlite3_result_error(ctx, "ORA-00938: not enough arguments for function", -1);
        return;
    }
    for (int i = 1; i + 1 < argc; i += 2) {
        if (DecodeEqual(a[0], a[i])) {
            sqlite3_result_value(ctx, a[i + 1]);
            return;
        }
    }
    if (argc % 2 == 0) sqlite3_result_value(ctx, a[argc - 1]);
    else sqlite3_result_null(ctx);
}

void Sign(sqlite3_context* ctx, int, Args a) {
    double x;
    if (IsNull(a[0])) return sqlite3_result_null(ctx);
    if (!NumberOf(a[0], x)) return InvalidNumber(ctx);
    sqlite3_result_int(ctx, x > 0 ? 1 : (x < 0 ? -1 : 0));
}

// SUBSTR semantics on bytes: position 0 counts as 1, negative from the end.
void Substrb(sqlite3_context* ctx, int argc, Args a) {
    if (IsNull(a[0]) || IsNull(a[1]) || (argc > 2 && IsNull(a[2]))) return sqlite3_result_null(ctx);
    std::string s = TextOf(a[0]);
    long long n = static_cast<long long>(s.size());
    long long pos = sqlite3_value_int64(a[1]);
    if (pos == 0) pos = 1;
    if (pos < 0) pos = n + pos + 1;
    if (pos < 1 || pos > n) return sqlite3_result_null(ctx);
    long long len = argc > 2 ? sqlite3_value_int64(a[2]) : n;
    if (len < 1) return sqlite3_result_null(ctx);
    ResultText(ctx, s.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(len)));
}

void Lengthb(sqlite3_context* ctx, int, Args a) {
    if (IsNull(a[0]) || TextOf(a[0]).empty()) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(TextOf(a[0]).size()));
}

double RoundHalfAway(double x, int digits) {
    double scale = std::pow(10.0, digits);
    double scaled = x * scale;
    // Nudge away from binary representation error (2.675 -> 2.68).
    double r = std::round(scaled + (scaled >= 0 ? 1e-9 : -1e-9));
    return r / scale;
}

void RoundOrTrunc(sqlite3_context* ctx, int argc, Args a, bool truncate) {
    if (IsNull(a[0]) || (argc > 1 && IsNull(a[1]))) return sqlite3_result_null(ctx);
    if (!IsNumber(a[0])) {
        std::string text = TextOf(a[0]);
        if (auto d = ParseDateText(text)) {  // ROUND/TRUNC of a DATE: to the day
            int64_t t = UnixFromDate(*d);
            int64_t day = t / 86400 * 86400;
            if (!truncate && t - day >= 43200) day += 86400;
            return ResultText(ctx, FormatDateText(DateFromUnix(day)));
        }
    }
    double x;
    if (!NumberOf(a[0], x)) return InvalidNumber(ctx);
    int digits = argc > 1 ? static_cast<int>(sqlite3_value_int64(a[1])) : 0;
    double scale = std::pow(10.0, digits);
    ResultNumber(ctx, truncate ? std::trunc(x * scale) / scale : RoundHalfAway(x, digits));
}

void Round(sqlite3_context* ctx, int argc, Args a) { RoundOrTrunc(ctx, argc, a, false); }
void Trunc(sqlite3_context* ctx, int argc, Args a) { RoundOrTrunc(ctx, argc, a, true); }

// Number masks: 9 and 0 digits, one '.', ',' groups; a sign position in front.
std::string FormatNumberMask(double x, const std::string& mask) {
    size_t dot = mask.find_first_of(".D");
    int decimals = 0;
    if (dot != std::string::npos)
        for (size_t i = dot + 1; i < mask.size(); ++i)
            if (mask[i] == '9' || mask[i] == '0') ++decimals;
    std::string intMask = mask.substr(0, dot);
    int intDigits = 0;
    for (char c : intMask)
        if (c == '9' || c == '0') ++intDigits;
    bool leadingZero = intMask.find('0') != std::string::npos;
    double rounded = RoundHalfAway(std::fabs(x), decimals);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, rounded);
    std::string digits = buf;
    std::string intPart = digits.substr(0, digits.find('.'));
    std::string fracPart = decimals > 0 ? digits.substr(digits.find('.') + 1) : "";
    if (intPart == "0" && !leadingZero && decimals > 0) intPart.clear();
    if (static_cast<int>(intPart.size()) > intDigits) return std::string(mask.size() + 1, '#');
    std::string grouped;
    if (intMask.find(',') != std::string::npos) {
        for (size_t i = 0; i < intPart.size(); ++i) {
            if (i > 0 && (intPart.size() - i) % 3 == 0) grouped += ',';
            grouped += intPart[i];
        }
    } else {
        grouped = intPart;
    }
    if (leadingZero)
        while (static_cast<int>(grouped.size()) < intDigits) grouped.insert(grouped.begin(), '0');
    std::string out = (x < 0 ? "-" : "") + grouped + (decimals > 0 ? "." + fracPart : "");
    size_t width = mask.size() + 1;
    if (out.size() < width) out.insert(0, width - out.size(), ' ');
    return out;
}

void ToChar(sqlite3_context* ctx, int argc, Args a) {
    Guarded(ctx, [&] {
        if (IsNull(a[0])) return sqlite3_result_null(ctx);
        std::string mask = argc > 1 && !IsNull(a[1]) ? TextOf(a[1]) : "";
        if (!IsNumber(a[0])) {
            std::string text = TextOf(a[0]);
            if (auto d = ParseDateText(text)) return ResultText(ctx, FormatDateMask(*d, mask.empty() ? "DD-MON-YY" : mask));
            if (mask.empty()) return ResultText(ctx, text);
        }
        double x;
        if (!NumberOf(a[0], x)) return InvalidNumber(ctx);
        ResultText(ctx, mask.empty() ? FormatOracleNumber(x) : FormatNumberMask(x, mask));
    });
}

void ToDate(sqlite3_context* ctx, int argc, Args a) {
    auto* clock = static_cast<StatementClock*>(sqlite3_user_data(ctx));
    Guarded(ctx, [&] {
        if (IsNull(a[0])) return sqlite3_result_null(ctx);
        std::string text = TextOf(a[0]);
        int year = DateFromUnix(clock->UnixSeconds).Year;
        if (argc < 2 || IsNull(a[1])) {
            if (auto d = ParseDateText(text)) return ResultText(ctx, FormatDateText(*d));
            return ResultText(ctx, FormatDateText(ParseDateMask(text, "DD-MON-YY", year)));
        }
        ResultText(ctx, FormatDateText(ParseDateMask(text, TextOf(a[1]), year)));
    });
}

void ToNumber(sqlite3_context* ctx, int, Args a) {
    if (IsNull(a[0])) return sqlite3_result_null(ctx);
    double x;
    if (!NumberOf(a[0], x)) return InvalidNumber(ctx);
    ResultNumber(ctx, x);
}

void Mod(sqlite3_context* ctx, int, Args a) {
    if (IsNull(a[0]) || IsNull(a[1])) return sqlite3_result_null(ctx);
    double x, y;
    if (!NumberOf(a[0], x) || !NumberOf(a[1], y)) return InvalidNumber(ctx);
    ResultNumber(ctx, y == 0 ? x : x - y * std::trunc(x / y));
}

void Pad(sqlite3_context* ctx, int argc, Args a, bool left) {
    if (IsNull(a[0]) || IsNull(a[1])) return sqlite3_result_null(ctx);
    std::string s = TextOf(a[0]);
    long long width = sqlite3_value_int64(a[1]);
    std::string fill = argc > 2 ? TextOf(a[2]) : " ";
    if (width <= 0 || fill.empty()) return sqlite3_result_null(ctx);
    width = std::min<long long>(width, kMaxVarchar);
    size_t w = static_cast<size_t>(width);
    if (s.size() >= w) return ResultText(ctx, s.substr(0, w));
    std::string padding;
    while (padding.size() < w - s.size()) padding += fill;
    padding.resize(w - s.size());
    ResultText(ctx, left ? padding + s : s + padding);
}
void Lpad(sqlite3_context* ctx, int argc, Args a) { Pad(ctx, argc, a, true); }
void Rpad(sqlite3_context* ctx, int argc, Args a) { Pad(ctx, argc, a, false); }

void Concat(sqlite3_context* ctx, int, Args a) { ResultText(ctx, TextOf(a[0]) + TextOf(a[1])); }

void Extreme(sqlite3_context* ctx, int argc, Args a, bool greatest) {
    sqlite3_value* best = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (IsNull(a[i])) return sqlite3_result_null(ctx);
        if (!best) {
            best = a[i];
            continue;
        }
        bool numeric = IsNumber(a[i]) && IsNumber(best);
        int cmp = numeric ? (sqlite3_value_double(a[i]) < sqlite3_value_double(best) ? -1
                                                                                     : sqlite3_value_double(a[i]) > sqlite3_value_double(best))
                          : TextOf(a[i]).compare(TextOf(best));
        if (greatest ? cmp > 0 : cmp < 0) best = a[i];
    }
    sqlite3_result_value(ctx, best);
}
void Greatest(sqlite3_context* ctx, int argc, Args a) { Extreme(ctx, argc, a, true); }
void Least(sqlite3_context* ctx, int argc, Args a) { Extreme(ctx, argc, a, false); }

void Initcap(sqlite3_context* ctx, int, Args a) {
    if (IsNull(a[0])) return sqlite3_result_null(ctx);
    std::string s = TextOf(a[0]);
    bool start = true;
    for (char& c : s) {
        bool alnum = std::isalnum(static_cast<unsigned char>(c)) != 0;
        c = static_cast<char>(start ? std::toupper(static_cast<unsigned char>(c)) : std::tolower(static_cast<unsigned char>(c)));
        start = !alnum;
    }
    ResultText(ctx, s);
}

void Sysdate(sqlite3_context* ctx, int, Args) {
    auto* clock = static_cast<StatementClock*>(sqlite3_user_data(ctx));
    ResultText(ctx, FormatDateText(DateFromUnix(clock->UnixSeconds)));
}

struct FunctionDef {
    const char* Name;
    int Args;  // -1: any number
    void (*Fn)(sqlite3_context*, int, sqlite3_value**);
    bool NeedsClock;
};

const FunctionDef kFunctions[] = {
    {"NVL", 2, Nvl, false},         {"NVL2", 3, Nvl2, false},       {"DECODE", -1, Decode, false},
    {"SIGN", 1, Sign, false},       {"SUBSTRB", 2, Substrb, false}, {"SUBSTRB", 3, Substrb, false},
    {"LENGTHB", 1, Lengthb, false}, {"ROUND", 1, Round, false},     {"ROUND", 2, Round, false},
    {"TRUNC", 1, Trunc, false},     {"TRUNC", 2, Trunc, false},     {"TO_CHAR", 1, ToChar, false},
    {"TO_CHAR", 2, ToChar, false},  {"TO_DATE", 1, ToDate, true},   {"TO_DATE", 2, ToDate, true},
    {"TO_NUMBER", 1, ToNumber, false}, {"MOD", 2, Mod, false},      {"LPAD", 2, Lpad, false},
    {"LPAD", 3, Lpad, false},       {"RPAD", 2, Rpad, false},       {"RPAD", 3, Rpad, false},
    {"CONCAT", 2, Concat, false},   {"GREATEST", -1, Greatest, false}, {"LEAST", -1, Least, false},
    {"INITCAP", 1, Initcap, false}, {"SYSDATE", 0, Sysdate, true},
};

}  // namespace

void RegisterOracleFunctions(sqlite3* db, StatementClock* clock) {
    for (const FunctionDef& f : kFunctions) {
        int flags = SQLITE_UTF8 | (f.NeedsClock ? 0 : SQLITE_DETERMINISTIC);
        sqlite3_create_function_v2(db, f.Name, f.Args, flags, f.NeedsClock ? clock : nullptr, f.Fn, nullptr, nullptr,
                                   nullptr);
    }
}

}  // namespace sim
