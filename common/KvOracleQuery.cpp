// Oracle version detection and the collector's checkpoint history refresh:
// the parts that run statements.
#include "KvOracle.h"

#include "ODBCCall.h"

namespace {

constexpr const char* kVersionSql = "SELECT BANNER FROM V$VERSION  WHERE UPPER(BANNER) LIKE ? ";
constexpr const char* kVersionPattern = "%ORACLE%";
constexpr SQLSMALLINT kCharacterParam = SQL_CHAR;
constexpr int kFirstSupportedVersion = 7;

}  // namespace

OracleVersionInfo CheckOracleVersion(TQueryODBC& query) {
    OracleVersionInfo info;
    query.SetSQLText(kVersionSql);
    query.Prepare();
    query.SetParamType(1, kCharacterParam);
    query.SetParam(1, kVersionPattern);
    query.Execute();
    if (query.Fetch() && query.RowValues().size() > 1)
        info.Banner = query.RowValues()[1];
    info.Version = VersionFromBanner(info.Banner);
    return info;
}

bool RefreshCheckPointFile(TQueryODBC& query, const std::string& dir, int& oracleVersion) {
    if (oracleVersion < 1) {
        try {
            oracleVersion = CheckOracleVersion(query).Version;
        } catch (const std::exception&) {
            // The collector works on; the next refresh tries again.
        }
    }
    if (oracleVersion < kFirstSupportedVersion)
        return false;
    std::vector<CheckPointDay> days;
    try {
        query.SetSQLText(CheckPointDaysSql(oracleVersion) + " ORDER BY F_SEQ DESC ");
        query.Prepare();
        query.Execute();
        while (query.Fetch()) {
            if (days.size() >= static_cast<size_t>(kCheckPointMaxDays))
                break;
            days.push_back({query.FieldByName("F_DATE"), query.FieldByName("F_CNT")});
        }
    } catch (const std::exception&) {
        return false;
    }
    return WriteCheckPointFile(dir, days);
}
