#include "ColumnMetrics.h"

namespace kelvsim {

namespace {
constexpr SQLULEN kOracleMaxPrecision = 38;
constexpr SQLULEN kOracleMaxVarchar = 4000;
constexpr SQLULEN kTimestampDigits = 19;  // yyyy-mm-dd hh:mm:ss
constexpr SQLULEN kDateDigits = 10;
constexpr SQLULEN kTimeDigits = 8;
}  // namespace

SQLSMALLINT Odbc2Type(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_TYPE_DATE: return SQL_DATE;
    case SQL_TYPE_TIME: return SQL_TIME;
    case SQL_TYPE_TIMESTAMP: return SQL_TIMESTAMP;
    default: return sqlType;
    }
}

ColumnMetrics MetricsOf(const sim::SimColumn& column, SQLINTEGER odbcVersion) {
    ColumnMetrics m;
    const SQLSMALLINT type = column.SqlType;
    m.ConciseType = odbcVersion == SQL_OV_ODBC2 ? Odbc2Type(type) : type;
    m.VerboseType = m.ConciseType;
    m.ColumnSize = column.ColumnSize;
    m.DecimalDigits = column.DecimalDigits;
    switch (type) {
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        m.Numeric = true;
        if (m.ColumnSize == 0)
            m.ColumnSize = kOracleMaxPrecision;
        m.OctetLength = static_cast<SQLLEN>(m.ColumnSize) + 2;
        m.DisplaySize = static_cast<SQLLEN>(m.ColumnSize) + 2;
        m.TypeName = "NUMBER";
        break;
    case SQL_INTEGER:
        m.Numeric = true;
        m.ColumnSize = 10;
        m.OctetLength = 4;
        m.DisplaySize = 11;
        m.TypeName = "NUMBER";
        break;
    case SQL_SMALLINT:
        m.Numeric = true;
        m.ColumnSize = 5;
        m.OctetLength = 2;
        m.DisplaySize = 6;
        m.TypeName = "NUMBER";
        break;
    case SQL_BIGINT:
        m.Numeric = true;
        m.ColumnSize = 19;
        m.OctetLength = 8;
        m.DisplaySize = 20;
        m.TypeName = "NUMBER";
        break;
    case SQL_REAL:
        m.Numeric = true;
        m.ColumnSize = 7;
        m.OctetLength = 4;
        m.DisplaySize = 14;
        m.TypeName = "FLOAT";
        break;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        m.Numeric = true;
        m.ColumnSize = 15;
        m.OctetLength = 8;
        m.DisplaySize = 24;
        m.TypeName = "FLOAT";
        break;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        m.ColumnSize = kDateDigits;
        m.OctetLength = 6;
        m.DisplaySize = kDateDigits;
        m.TypeName = "DATE";
        m.VerboseType = odbcVersion == SQL_OV_ODBC2 ? m.ConciseType : SQL_DATETIME;
        break;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        m.ColumnSize = kTimeDigits;
        m.OctetLength = 6;
        m.DisplaySize = kTimeDigits;
        m.TypeName = "DATE";
        m.VerboseType = odbcVersion == SQL_OV_ODBC2 ? m.ConciseType : SQL_DATETIME;
        break;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        m.ColumnSize = kTimestampDigits;
        m.OctetLength = 16;
        m.DisplaySize = kTimestampDigits;
        m.TypeName = "DATE";
        m.VerboseType = odbcVersion == SQL_OV_ODBC2 ? m.ConciseType : SQL_DATETIME;
        break;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        if (m.ColumnSize == 0)
            m.ColumnSize = type == SQL_LONGVARBINARY ? 2147483647 : 2000;
        m.OctetLength = static_cast<SQLLEN>(m.ColumnSize);
        m.DisplaySize = static_cast<SQLLEN>(m.ColumnSize) * 2;
        m.TypeName = type == SQL_LONGVARBINARY ? "LONG RAW" : "RAW";
        break;
    default:  // character types
        m.Character = true;
        if (m.ColumnSize == 0)
            m.ColumnSize = type == SQL_LONGVARCHAR ? 2147483647 : kOracleMaxVarchar;
        m.OctetLength = static_cast<SQLLEN>(m.ColumnSize);
        m.DisplaySize = static_cast<SQLLEN>(m.ColumnSize);
        m.TypeName = type == SQL_CHAR ? "CHAR" : (type == SQL_LONGVARCHAR ? "LONG" : "VARCHAR2");
        break;
    }
    return m;
}

}  // namespace kelvsim
