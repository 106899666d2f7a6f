// Pure text functions of the query component: NULL conversion of statement
// text, connection strings, grid value formatting.
#include "GridFormat.h"
#include "QueryImpl.h"

#include <gtest/gtest.h>

using kelv_odbc::BuildConnectionString;
using kelv_odbc::ConvertNullMarkers;

TEST(NullConversion, ReplacesBareAndQuotedMarkersOutsideLiterals) {
    EXPECT_EQ(ConvertNullMarkers("INSERT INTO T VALUES (<Null>, '<Null>', 'a<Null>b')", "<Null>"),
              "INSERT INTO T VALUES (NULL, NULL, 'a<Null>b')");
}

TEST(NullConversion, DoubledQuotesStayInsideTheLiteral) {
    // 'it''s <Null>' is one literal: nothing inside it is replaced.
    EXPECT_EQ(ConvertNullMarkers("SELECT 'it''s <Null>', <Null>", "<Null>"), "SELECT 'it''s <Null>', NULL");
    EXPECT_EQ(ConvertNullMarkers("SELECT '''', <Null>", "<Null>"), "SELECT '''', NULL");
}

TEST(NullConversion, TextNeverGrowsAndMultiByteTextIsKept) {
    const std::string sql = "UPDATE T SET A = <Null>, B = '日本<Null>語' WHERE C = '値'";
    const std::string out = ConvertNullMarkers(sql, "<Null>");
    EXPECT_EQ(out, "UPDATE T SET A = NULL, B = '日本<Null>語' WHERE C = '値'");
    EXPECT_LE(out.size(), sql.size());
    // A multi-byte character right before a quote does not hide the quote.
    EXPECT_EQ(ConvertNullMarkers("SELECT 'あ', <Null>", "<Null>"), "SELECT 'あ', NULL");
}

TEST(NullConversion, UnterminatedLiteralAndEmptyMarker) {
    EXPECT_EQ(ConvertNullMarkers("SELECT '<Null>", "<Null>"), "SELECT '<Null>");
    EXPECT_EQ(ConvertNullMarkers("SELECT <Null>", ""), "SELECT <Null>");
    EXPECT_EQ(ConvertNullMarkers("", "<Null>"), "");
    EXPECT_EQ(ConvertNullMarkers("<Null><Null>", "<Null>"), "NULLNULL");
}

TEST(ConnectionString, PartsInOrderAndOnlyWhenSet) {
    EXPECT_EQ(BuildConnectionString("ORA", "", "system", "", ""), "DSN=ORA;UID=system");
    EXPECT_EQ(BuildConnectionString("", "", "", "", "DRIVER=x.so;Database=y"), ";DRIVER=x.so;Database=y");
    EXPECT_EQ(BuildConnectionString("", "f.dsn", "u", "p", "A=1"), "FILEDSN=f.dsn;UID=u;PWD=p;A=1");
    EXPECT_EQ(BuildConnectionString("D", "f.dsn", "", "p", ""), "DSN=D;PWD=p");
    EXPECT_EQ(BuildConnectionString("", "", "", "", ""), "");
}

TEST(GridFormatting, NumericPictures) {
    using kelv_odbc::FormatGridValue;
    EXPECT_EQ(FormatGridValue("1234567.891", "#,##0.00", SQL_DECIMAL, true), "1,234,567.89");
    EXPECT_EQ(FormatGridValue("0.5", "0.000", SQL_DOUBLE, true), "0.500");
    EXPECT_EQ(FormatGridValue("0.5", "#.##", SQL_DOUBLE, true), ".5");
    EXPECT_EQ(FormatGridValue("-42", "0", SQL_INTEGER, true), "-42");
    EXPECT_EQ(FormatGridValue("7", "000", SQL_INTEGER, true), "007");
    EXPECT_EQ(FormatGridValue("12.5", "0.0 \"MB\"", SQL_DOUBLE, true), "12.5 MB");
    EXPECT_EQ(FormatGridValue("-3", "0;(0)", SQL_INTEGER, true), "(3)");
    EXPECT_EQ(FormatGridValue("0", "0;(0);\"zero\"", SQL_INTEGER, true), "zero");
    EXPECT_EQ(FormatGridValue("-0.001", "0.00", SQL_DOUBLE, true), "0.00");
}

TEST(GridFormatting, ConversionErrorsKeepTheValue) {
    using kelv_odbc::FormatGridValue;
    EXPECT_EQ(FormatGridValue("abc", "0.00", SQL_DECIMAL, true), "abc");
    EXPECT_EQ(FormatGridValue("<Null>", "0.00", SQL_DECIMAL, true), "<Null>");
    EXPECT_EQ(FormatGridValue("", "0.00", SQL_DECIMAL, true), "");
    EXPECT_EQ(FormatGridValue("2026-13-01", "yyyy/mm/dd", SQL_TYPE_DATE, false), "2026-13-01");
    EXPECT_EQ(FormatGridValue("2026-02-30", "yyyy/mm/dd", SQL_DATE, false), "2026-02-30");
    EXPECT_EQ(FormatGridValue("12:61:00", "hh:nn", SQL_TIME, false), "12:61:00");
    EXPECT_EQ(FormatGridValue("2026", "yyyy/mm/dd", SQL_TYPE_DATE, false), "2026");
    EXPECT_EQ(FormatGridValue("text", "yyyy", SQL_VARCHAR, false), "text");
}

TEST(GridFormatting, DateTimePictures) {
    using kelv_odbc::FormatGridValue;
    EXPECT_EQ(FormatGridValue("2026-12-07", "yyyy/mm/dd", SQL_TYPE_DATE, false), "2026/12/07");
    EXPECT_EQ(FormatGridValue("2026-02-29", "yyyy/m/d", SQL_TYPE_DATE, false), "2026-02-29");  // not a leap year
    EXPECT_EQ(FormatGridValue("2024-02-29", "yy/m/d", SQL_TYPE_DATE, false), "24/2/29");
    EXPECT_EQ(FormatGridValue("08:05:09", "hh:nn:ss", SQL_TYPE_TIME, false), "08:05:09");
    EXPECT_EQ(FormatGridValue("08:05:09", "h:mm", SQL_TIME, false), "8:05");  // mm after h = minutes
    EXPECT_EQ(FormatGridValue("2026-12-07 13:45:30", "mm/dd hh:nn", SQL_TYPE_TIMESTAMP, false), "12/07 13:45");
    EXPECT_EQ(FormatGridValue("2026-12-07 13:45:30.123", "yyyy\"年\"m\"月\"", SQL_TIMESTAMP, false), "2026年12月");
}

TEST(GridFormatting, FormatLookupByExactColumnName) {
    const std::vector<std::string> lines = {"BYTES=#,##0", "NAME=", "CREATED=yyyy/mm/dd"};
    EXPECT_EQ(kelv_odbc::GridFormatFor(lines, "BYTES"), "#,##0");
    EXPECT_EQ(kelv_odbc::GridFormatFor(lines, "bytes"), "");
    EXPECT_EQ(kelv_odbc::GridFormatFor(lines, "BYTE"), "");
    EXPECT_EQ(kelv_odbc::GridFormatFor(lines, "CREATED"), "yyyy/mm/dd");
    EXPECT_EQ(kelv_odbc::GridFormatFor(lines, "NAME"), "");
}
