// Numeric pictures for grid values: digit places, grouping, sections,
// literals and exponents, rounded half away from zero.
#include "GridFormat.h"
#include "PictureText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kelv_odbc {

namespace {

constexpr int kSignificantDigits = 15;   // what a double holds reliably
constexpr int kMaxExponentDigits = 4;

// A non-negative value as 0.digits x 10^exponent; digits has no trailing
// zeros and is empty for zero.
struct Decimal {
    std::string digits;
    int exponent = 0;
};

void trimTrailingZeros(Decimal& d) {
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    if (d.digits.empty()) d.exponent = 0;
}

// Rounding works on these digits only, so binary noise below them never
// decides a tie (0.125 and 1.005 round up, as written).
Decimal decimalOf(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*e", kSignificantDigits - 1, std::fabs(value));
    Decimal d;
    d.digits.assign(1, text[0]);
    d.digits.append(text + 2, kSignificantDigits - 1);
    d.exponent = std::atoi(std::strchr(text, 'e') + 1) + 1;
    trimTrailingZeros(d);
    return d;
}

// Keeps the first `count` digits, rounding half away from zero; a carry out
// of the first digit adds a digit in front.
void roundTo(Decimal& d, int count) {
    if (count < 0) {
        d = Decimal();
        return;
    }
    if (static_cast<int>(d.digits.size()) <= count) return;
    const bool up = d.digits[static_cast<size_t>(count)] >= '5';
    d.digits.resize(static_cast<size_t>(count));
    if (up) {
        int i = count - 1;
        while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') d.digits[static_cast<size_t>(i--)] = '0';
        if (i >= 0) {
            ++d.digits[static_cast<size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.exponent;
        }
    }
    trimTrailingZeros(d);
}

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

bool isDigitPlace(char c) { return c == '0' || c == '#'; }

// One section of a picture taken apart: literal prefix and suffix around the
// digit pattern, its digit places, and an exponent ("E+00") when it has one.
struct NumberPicture {
    std::string prefix, suffix;
    int intPlaces = 0, minInt = 0, minFrac = 0, maxFrac = 0;
    bool grouping = false;
    bool scientific = false;
    char expLetter = 'E';
    bool expAlwaysSigned = false;
    int expDigits = 0;
    bool hasDigits = false;
};

NumberPicture readPicture(const std::string& section) {
    NumberPicture p;
    size_t first = std::string::npos, last = std::string::npos, expAt = std::string::npos;
    ForEachUnquoted(section, [&](size_t i) {
        const char c = section[i];
        if (isDigitPlace(c) || c == '.' || c == ',') {
            if (first == std::string::npos) first = i;
            last = i;
            return true;
        }
        const bool exponent = (c == 'E' || c == 'e') && first != std::string::npos && i + 1 < section.size() &&
                              (section[i + 1] == '+' || section[i + 1] == '-');
        if (!exponent) return true;
        // The exponent ends the pattern: its sign, then up to four zeros.
        expAt = i;
        p.scientific = true;
        p.expLetter = c;
        p.expAlwaysSigned = section[i + 1] == '+';
        size_t j = i + 2;
        while (j < section.size() && section[j] == '0' && p.expDigits < kMaxExponentDigits) ++j, ++p.expDigits;
        last = j - 1;
        return false;
    });
    if (first == std::string::npos) {
        p.prefix = literalText(section);
        return p;
    }
    p.hasDigits = true;
    p.prefix = literalText(section.substr(0, first));
    p.suffix = literalText(section.substr(last + 1));
    const std::string pattern = section.substr(first, (p.scientific ? expAt : last + 1) - first);
    const size_t point = pattern.find('.');
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const bool beforePoint = point == std::string::npos || i < point;
        if (beforePoint) {
            if (isDigitPlace(c)) ++p.intPlaces;
            if (c == '0') ++p.minInt;
            if (c == ',') p.grouping = true;
        } else {
            if (c == '0') ++p.minFrac;
            if (isDigitPlace(c)) ++p.maxFrac;
        }
    }
    return p;
}

// Splits digits into whole and fraction at `wholeDigits`, padding with zeros.
void splitDigits(const Decimal& d, int wholeDigits, std::string& whole, std::string& frac) {
    if (wholeDigits > 0) {
        whole = d.digits.substr(0, static_cast<size_t>(wholeDigits));
        whole.resize(static_cast<size_t>(wholeDigits), '0');
        frac = d.digits.size() > static_cast<size_t>(wholeDigits) ? d.digits.substr(static_cast<size_t>(wholeDigits))
                                                                    : std::string();
    } else {
        whole.clear();
        frac = std::string(static_cast<size_t>(-wholeDigits), '0') + d.digits;
    }
}

std::string exponentText(const NumberPicture& p, int exponent) {
    std::string digits = std::to_string(std::abs(exponent));
    if (static_cast<int>(digits.size()) < p.expDigits)
        digits.insert(0, static_cast<size_t>(p.expDigits) - digits.size(), '0');
    std::string out(1, p.expLetter);
    if (exponent < 0)
        out += '-';
    else if (p.expAlwaysSigned)
        out += '+';
    return out + digits;
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

    const NumberPicture p = readPicture(section);
    if (!p.hasDigits) {
        out = p.prefix;
        return true;
    }
    Decimal d = decimalOf(value);
    std::string whole, frac, exponent;
    if (p.scientific) {
        const int places = p.intPlaces > 0 ? p.intPlaces : 1;
        roundTo(d, places + p.maxFrac);
        splitDigits(d, places, whole, frac);
        exponent = exponentText(p, d.digits.empty() ? 0 : d.exponent - places);
    } else {
        roundTo(d, d.exponent + p.maxFrac);
        splitDigits(d, d.exponent, whole, frac);
        whole.erase(0, whole.find_first_not_of('0') == std::string::npos ? whole.size()
                                                                         : whole.find_first_not_of('0'));
        if (static_cast<int>(whole.size()) < p.minInt)
            whole.insert(0, static_cast<size_t>(p.minInt) - whole.size(), '0');
        if (p.grouping) whole = groupThousands(whole);
    }
    frac.resize(static_cast<size_t>(p.maxFrac), '0');
    while (static_cast<int>(frac.size()) > p.minFrac && frac.back() == '0') frac.pop_back();

    out = p.prefix;
    if (withMinus && !d.digits.empty()) out += '-';
    out += whole;
    if (!frac.empty()) out += "." + frac;
    out += exponent + p.suffix;
    return true;
}

}  // namespace kelv_odbc
