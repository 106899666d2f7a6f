// What a result column reports to SQLDescribeCol and SQLColAttribute.
#pragma once

#include "OdbcHeaders.h"
#include "SimEngine.h"

#include <string>

namespace kelvsim {

struct ColumnMetrics {
    SQLSMALLINT ConciseType = SQL_VARCHAR;  // ODBC 3 code, or the ODBC 2 one for ODBC 2 applications
    SQLSMALLINT VerboseType = SQL_VARCHAR;
    SQLULEN ColumnSize = 0;
    SQLSMALLINT DecimalDigits = 0;
    SQLLEN OctetLength = 0;   // transfer octet length (SQL_COLUMN_LENGTH)
    SQLLEN DisplaySize = 0;
    bool Numeric = false;
    bool Character = false;
    std::string TypeName;     // the Oracle type name
};

// odbcVersion: SQL_OV_ODBC2 reports the ODBC 2 date and time type codes.
ColumnMetrics MetricsOf(const sim::SimColumn& column, SQLINTEGER odbcVersion);

// The ODBC 2 code of an ODBC 3 date/time type code (others unchanged).
SQLSMALLINT Odbc2Type(SQLSMALLINT sqlType);

}  // namespace kelvsim
