// Oracle's text forms: numbers as Oracle shows them, DATE values in the
// instance's fixed form 'YYYY-MM-DD HH24:MI:SS', and the TO_CHAR/TO_DATE masks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// Integers without ".0", decimals without trailing zeros, ".5" for 0.5.
std::string FormatOracleNumber(double value);

struct OraDate {
    int Year = 1970, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};

// 'YYYY-MM-DD HH24:MI:SS' (or just 'YYYY-MM-DD'); nullopt when not a date text.
std::optional<OraDate> ParseDateText(const std::string& text);
std::string FormatDateText(const OraDate& date);
OraDate DateFromUnix(int64_t seconds);   // UTC
int64_t UnixFromDate(const OraDate& date);

// Applies an Oracle date format mask (YYYY, YY, RR, MM, MON, MONTH, DD, DY,
// DAY, D, HH24, HH/HH12, MI, SS, AM/PM, quoted text, punctuation).
// Throws SimError ORA-01821 for an unknown format element.
std::string FormatDateMask(const OraDate& date, const std::string& mask);
// Parses text by a mask; throws ORA-01858/ORA-01861 style errors on mismatch.
// Two-digit years take the century of centuryBase.
OraDate ParseDateMask(const std::string& text, const std::string& mask, int centuryBase);

}  // namespace sim
