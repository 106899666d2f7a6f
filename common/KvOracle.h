// Oracle version detection and the checkpoint history file, shared by the
// viewer and the collector.
#pragma once

#include <string>
#include <vector>

class TQueryODBC;

// Leading integer of text: blanks skipped, optional sign, digits; 0 without digits.
int LeadingInteger(const std::string& text);
// Major version from a V$VERSION banner ("Oracle8i ... " -> 8, "Oracle Database 10g" -> 10).
int VersionFromBanner(const std::string& banner);

// Runs "SELECT BANNER FROM V$VERSION  WHERE UPPER(BANNER) LIKE ? " with "%ORACLE%".
// Returns the version and the banner as fetched; EODBCError propagates to the
// caller (the viewer shows it, the collector ignores it).
struct OracleVersionInfo {
    int Version = 0;
    std::string Banner;
};
OracleVersionInfo CheckOracleVersion(TQueryODBC& query);

// SQL of the per-day / per-hour log-switch lists for a version.
std::string CheckPointDaysSql(int oracleVersion);
std::string CheckPointHoursSql(int oracleVersion);

struct CheckPointDay {
    std::string Date;   // F_DATE
    std::string Count;  // F_CNT
};
inline constexpr int kCheckPointMaxDays = 1001;
inline constexpr const char* kCheckPointFileName = "ChkeckPoint.dat";

// One line Format("%10.10s  %5.5s") (17 characters, no line end);
// WriteCheckPointFile ends each line with CR LF.
std::string CheckPointLine(const std::string& date, const std::string& count);
// Replaces dir/ChkeckPoint.dat atomically; false (errno kept) on failure.
bool WriteCheckPointFile(const std::string& dir, const std::vector<CheckPointDay>& days);

// The collector's refresh: detects the version while it is below 1, then
// writes the newest 1001 days; every failure is silent. Returns true when written.
bool RefreshCheckPointFile(TQueryODBC& query, const std::string& dir, int& oracleVersion);
