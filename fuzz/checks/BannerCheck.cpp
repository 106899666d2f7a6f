// Version detection: the number after "ORACLE" (at most 99 characters on),
// else the one in the 3 characters after "ORACLE DATABASE", in any letter case.
#include "FuzzChecks.h"

#include "KvOracle.h"
#include "KvPageSql.h"
#include "KvText.h"

#include <algorithm>
#include <climits>

namespace kelv_fuzz {

namespace {

constexpr size_t kMarkLength = 6;          // ORACLE
constexpr size_t kVersionWindow = 99;
constexpr size_t kDatabaseWordLength = 15; // ORACLE DATABASE
constexpr size_t kDatabaseVersionWindow = 3;

// Blanks skipped, optional sign, digits; 0 without digits; held within int.
long long LeadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<long long>(value * 10 + (text[i] - '0'), INT_MAX);
    return negative ? -value : value;
}

std::string Window(const std::string& text, size_t from, size_t length) {
    return from < text.size() ? text.substr(from, length) : std::string();
}

long long ExpectedVersion(const std::string& banner) {
    const std::string upper = UpperCase(banner);
    const size_t p = upper.find("ORACLE");
    if (p == std::string::npos)
        return 0;
    const long long version = LeadingNumber(Window(upper, p + kMarkLength, kVersionWindow));
    if (version >= 1)
        return version;
    return LeadingNumber(Window(upper, p + kDatabaseWordLength, kDatabaseVersionWindow));
}

std::string LowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

std::string CheckBanner(const uint8_t* data, size_t size) {
    const std::string banner(reinterpret_cast<const char*>(data), size);
    const int version = VersionFromBanner(banner);
    if (version != ExpectedVersion(banner))
        return "banner \"" + banner + "\" gave " + std::to_string(version) + ", expected " +
               std::to_string(ExpectedVersion(banner));
    if (VersionFromBanner(LowerCase(banner)) != version)
        return "banner \"" + banner + "\": the letter case changes the version";
    // Every version, however odd, picks one of the two statement forms.
    if (CheckPointDaysSql(version).empty() || CheckPointHoursSql(version).empty() ||
        kvsql::CheckPointDays(version, -1, "").empty())
        return "no checkpoint statement for version " + std::to_string(version);
    return std::string();
}

}  // namespace kelv_fuzz
