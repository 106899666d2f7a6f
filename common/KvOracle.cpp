// Oracle version detection and the checkpoint history file: the parts
// that need no database.
#include "KvOracle.h"
#include "KvCom.h"
#include "KvText.h"

#include <cstdio>

namespace {

constexpr const char* kBannerMark = "ORACLE";
constexpr size_t kBannerMarkLength = 6;            // "ORACLE"
constexpr size_t kVersionTextLength = 99;
constexpr size_t kDatabaseWordOffset = 15;         // "ORACLE DATABASE"
constexpr size_t kDatabaseVersionLength = 3;
constexpr int kFirstLogHistVersion = 8;            // below: the Oracle 7 text forms

constexpr const char* kDaysSql8 =
    " SELECT MIN(SEQUENCE#)                        F_SEQ,   TO_CHAR(FIRST_TIME, 'YY/MM/DD(DY)') F_DSP,   TO_CHAR(FIRST_TIME, 'YYYYMMDD')     F_DATE,  COUNT(*)                              F_CNT     FROM V$LOGHIST  GROUP BY TO_CHAR(FIRST_TIME, 'YY/MM/DD(DY)'),  TO_CHAR(FIRST_TIME, 'YYYYMMDD')      ";
constexpr const char* kDaysSql7 =
    " SELECT MIN(SEQUENCE#)                       F_SEQ,    TO_CHAR(TO_DATE(SUBSTR(FIRST_TIME, 1, 8), 'MM/DD/YY'), 'YY/MM/DD(DY)') F_DSP,   SUBSTR(FIRST_TIME, 1, 8)             F_DATE,   COUNT(*)                             F_CNT     FROM V$LOGHIST  GROUP BY SUBSTR(FIRST_TIME, 7, 2) || '/' ||   SUBSTR(FIRST_TIME, 1, 2) || '/' ||   SUBSTR(FIRST_TIME, 4, 2),   SUBSTR(FIRST_TIME, 1, 8)  ";
constexpr const char* kHoursSql8 =
    " SELECT TO_CHAR(FIRST_TIME, 'HH24') F_TIME, COUNT(*)    FROM V$LOGHIST                                    WHERE TO_CHAR(FIRST_TIME, 'YYYYMMDD') = ?   GROUP BY  TO_CHAR(FIRST_TIME, 'HH24')   ORDER BY F_TIME DESC ";
constexpr const char* kHoursSql7 =
    " SELECT SUBSTR(FIRST_TIME, 10, 2)    F_TIME, COUNT(*)    FROM V$LOGHIST                                    WHERE SUBSTR(FIRST_TIME,  1, 8) = ?   GROUP BY   SUBSTR(FIRST_TIME, 10, 2)   ORDER BY F_TIME DESC ";

}  // namespace

int LeadingInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    bool anyDigit = false;
    constexpr long long kCap = 2147483647LL;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        anyDigit = true;
        value = value * 10 + (text[i] - '0');
        if (value > kCap)
            value = kCap;
    }
    if (!anyDigit)
        return 0;
    return static_cast<int>(negative ? -value : value);
}

int VersionFromBanner(const std::string& banner) {
    const std::string upper = UpperCase(banner);
    const size_t p = upper.find(kBannerMark);
    if (p == std::string::npos)
        return 0;  // not a banner of this database: nothing to read
    const size_t afterMark = p + kBannerMarkLength;
    int version = afterMark < upper.size() ? LeadingInteger(upper.substr(afterMark, kVersionTextLength)) : 0;
    if (version < 1) {
        const size_t afterWord = p + kDatabaseWordOffset;
        version = afterWord < upper.size()
                      ? LeadingInteger(upper.substr(afterWord, kDatabaseVersionLength))
                      : 0;
    }
    return version;
}

std::string CheckPointDaysSql(int oracleVersion) {
    return oracleVersion >= kFirstLogHistVersion ? kDaysSql8 : kDaysSql7;
}

std::string CheckPointHoursSql(int oracleVersion) {
    return oracleVersion >= kFirstLogHistVersion ? kHoursSql8 : kHoursSql7;
}

std::string CheckPointLine(const std::string& date, const std::string& count) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%10.10s  %5.5s", date.c_str(), count.c_str());
    return buf;
}

bool WriteCheckPointFile(const std::string& dir, const std::vector<CheckPointDay>& days) {
    if (days.empty())
        return false;  // an empty history leaves the old file as it is
    std::string content;
    const size_t n = days.size() < static_cast<size_t>(kCheckPointMaxDays) ? days.size()
                                                                            : kCheckPointMaxDays;
    for (size_t i = 0; i < n; ++i)
        content += CheckPointLine(days[i].Date, days[i].Count) + "\r\n";
    return WriteFileAtomic(dir + "/" + kCheckPointFileName, content);
}
