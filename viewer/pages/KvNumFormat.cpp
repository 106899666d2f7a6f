#include "KvNumFormat.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Plain decimal syntax only: sign, digits, one point, optional exponent.
// strtod alone would also take "inf", "nan" and hexadecimal texts.
bool IsPlainNumber(const std::string& s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { ++i; ++digits; }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { ++i; ++digits; }
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { ++i; ++expDigits; }
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

// Decimal digits of |value| rounded to `decimals` places, ties away from
// zero on the decimal expansion (0.125 -> "0.13"), as a plain digit text.
// The expansion is the value's 15 significant digits, all a double holds
// reliably: binary noise below them cannot move a tie (0.695 -> "0.70"),
// and no digit is rounded twice (0.694996 stays "0.69").
std::string RoundedDigits(double value, int decimals) {
    constexpr int kSignificant = 15;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", kSignificant - 1, std::fabs(value));
    const std::string mantissa = std::string(1, buf[0]) + std::string(buf + 2, buf + 1 + kSignificant);
    const int before = std::atoi(std::strchr(buf, 'e') + 1) + 1;   // digits before the point
    std::string intPart, frac;
    if (before <= 0) {
        intPart = "0";
        frac = std::string(static_cast<size_t>(-before), '0') + mantissa;
    } else if (before >= kSignificant) {
        intPart = mantissa + std::string(static_cast<size_t>(before - kSignificant), '0');
    } else {
        intPart = mantissa.substr(0, static_cast<size_t>(before));
        frac = mantissa.substr(static_cast<size_t>(before));
    }
    frac.resize(std::max(frac.size(), static_cast<size_t>(decimals) + 1), '0');
    const bool roundUp = frac[static_cast<size_t>(decimals)] >= '5';
    std::string digits = intPart + frac.substr(0, static_cast<size_t>(decimals));
    if (roundUp) {
        int i = static_cast<int>(digits.size()) - 1;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) ++digits[i];
        else digits.insert(digits.begin(), '1');
    }
    return digits;   // the last `decimals` characters are the fraction
}

bool AllZero(const std::string& digits) {
    for (char c : digits) if (c != '0') return false;
    return true;
}

std::string Group(std::string intPart) {
    for (int i = static_cast<int>(intPart.size()) - 3; i > 0; i -= 3) intPart.insert(i, ",");
    return intPart;
}

std::string Format(double value, int decimals, bool grouped) {
    if (!std::isfinite(value)) return "0";
    // Whole numbers (block counts, sizes in whole kilobytes) need no rounding:
    // the common case of large lists, written without the decimal expansion.
    constexpr double kExactIntegerLimit = 9007199254740992.0;   // 2^53
    if (decimals == 0 && std::fabs(value) < kExactIntegerLimit && value == std::floor(value)) {
        const long long whole = static_cast<long long>(value);
        const std::string digits = std::to_string(whole < 0 ? -whole : whole);
        return (whole < 0 ? "-" : "") + (grouped ? Group(digits) : digits);
    }
    std::string digits = RoundedDigits(value, decimals);
    const bool negative = value < 0 && !AllZero(digits);
    std::string intPart = digits.substr(0, digits.size() - decimals);
    const std::string frac = digits.substr(digits.size() - decimals);
    const size_t firstNonZero = intPart.find_first_not_of('0');
    intPart = firstNonZero == std::string::npos ? "0" : intPart.substr(firstNonZero);
    if (grouped) intPart = Group(intPart);
    std::string out = negative ? "-" : "";
    out += intPart;
    if (decimals > 0) out += "." + frac;
    return out;
}

}  // namespace

double StrToFloatOrZero(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    const std::string s = text.substr(b, e - b);
    if (!IsPlainNumber(s)) return 0;
    errno = 0;
    const double v = std::strtod(s.c_str(), nullptr);
    if (errno == ERANGE || !std::isfinite(v)) return 0;
    return v;
}

double RoundHalfEven(double value) {
    const double lower = std::floor(value);
    const double diff = value - lower;
    if (diff < 0.5) return lower;
    if (diff > 0.5) return lower + 1;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

std::string FormatGrouped(double value) { return Format(value, 0, true); }
std::string FormatInteger(double value) { return Format(value, 0, false); }
std::string FormatTwoDecimals(double value) { return Format(value, 2, false); }
