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

TEST(GridFormatting, RoundsHalfAwayFromZero) {
    using kelv_odbc::FormatGridValue;
    EXPECT_EQ(FormatGridValue("0.125", "0.00", SQL_DOUBLE, true), "0.13");
    EXPECT_EQ(FormatGridValue("-0.125", "0.00", SQL_DOUBLE, true), "-0.13");
    EXPECT_EQ(FormatGridValue("2.5", "0", SQL_DOUBLE, true), "3");
    EXPECT_EQ(FormatGridValue("1.005", "0.00", SQL_DOUBLE, true), "1.01");  // as written, not as stored
    EXPECT_EQ(FormatGridValue("0.124999", "0.00", SQL_DOUBLE, true), "0.12");
    EXPECT_EQ(FormatGridValue("9.995", "0.00", SQL_DOUBLE, true), "10.00");  // the carry adds a digit
    EXPECT_EQ(FormatGridValue("999.5", "#,##0", SQL_DOUBLE, true), "1,000");
    EXPECT_EQ(FormatGridValue("0.005", "0.00", SQL_DOUBLE, true), "0.01");
    EXPECT_EQ(FormatGridValue("0.004", "0.00", SQL_DOUBLE, true), "0.00");
    EXPECT_EQ(FormatGridValue("-0.004", "0.00", SQL_DOUBLE, true), "0.00");  // no minus on a zero
    EXPECT_EQ(FormatGridValue("0.5", "#", SQL_DOUBLE, true), "1");
    EXPECT_EQ(FormatGridValue("123456789012", "0", SQL_BIGINT, true), "123456789012");
}

TEST(GridFormatting, ExponentPictures) {
    using kelv_odbc::FormatGridValue;
    EXPECT_EQ(FormatGridValue("12345", "0.00E+00", SQL_DOUBLE, true), "1.23E+04");
    EXPECT_EQ(FormatGridValue("12355", "0.00E+00", SQL_DOUBLE, true), "1.24E+04");  // half away from zero
    EXPECT_EQ(FormatGridValue("0.000123", "0.00E+00", SQL_DOUBLE, true), "1.23E-04");
    EXPECT_EQ(FormatGridValue("12345", "0.00E-00", SQL_DOUBLE, true), "1.23E04");  // E- signs negatives only
    EXPECT_EQ(FormatGridValue("0.000123", "0.00e-00", SQL_DOUBLE, true), "1.23e-04");
    EXPECT_EQ(FormatGridValue("12345", "00.0E+0", SQL_DOUBLE, true), "12.3E+3");
    EXPECT_EQ(FormatGridValue("-12345", "0.00E+00", SQL_DOUBLE, true), "-1.23E+04");
    EXPECT_EQ(FormatGridValue("9.999", "0.00E+00", SQL_DOUBLE, true), "1.00E+01");  // rounding moves the exponent
    EXPECT_EQ(FormatGridValue("0", "0.00E+00", SQL_DOUBLE, true), "0.00E+00");
    EXPECT_EQ(FormatGridValue("1.5", "0.##E+0000", SQL_DOUBLE, true), "1.5E+0000");
    EXPECT_EQ(FormatGridValue("1e300", "0.0E+0", SQL_DOUBLE, true), "1.0E+300");
    EXPECT_EQ(FormatGridValue("12345", "\"v=\"0.0E+00\" u\"", SQL_DOUBLE, true), "v=1.2E+04 u");
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

TEST(GridFormatting, MonthAndDayNames) {
    using kelv_odbc::FormatGridValue;
    // 2026-12-07 is a Monday; 2024-02-29 a Thursday.
    EXPECT_EQ(FormatGridValue("2026-12-07", "ddd, d mmm yyyy", SQL_TYPE_DATE, false), "Mon, 7 Dec 2026");
    EXPECT_EQ(FormatGridValue("2026-12-07", "dddd mmmm", SQL_TYPE_DATE, false), "Monday December");
    EXPECT_EQ(FormatGridValue("2024-02-29", "dddd", SQL_DATE, false), "Thursday");
    EXPECT_EQ(FormatGridValue("2026-01-04", "ddd mmm", SQL_TYPE_DATE, false), "Sun Jan");
    EXPECT_EQ(FormatGridValue("2026-12-07", "ddddd", SQL_TYPE_DATE, false), "2026/12/07");
    EXPECT_EQ(FormatGridValue("2026-12-07", "dddddd", SQL_TYPE_DATE, false), "Monday, December 7, 2026");
    EXPECT_EQ(FormatGridValue("2026-12-07 09:05:00", "hh:mm mmm", SQL_TYPE_TIMESTAMP, false), "09:05 Dec");
}

TEST(GridFormatting, TwelveHourClock) {
    using kelv_odbc::FormatGridValue;
    EXPECT_EQ(FormatGridValue("00:30:00", "h:nn am/pm", SQL_TYPE_TIME, false), "12:30 am");
    EXPECT_EQ(FormatGridValue("11:59:59", "h:nn:ss AM/PM", SQL_TYPE_TIME, false), "11:59:59 AM");
    EXPECT_EQ(FormatGridValue("12:00:00", "hh:nn AM/PM", SQL_TYPE_TIME, false), "12:00 PM");
    EXPECT_EQ(FormatGridValue("13:05:00", "h:mm a/p", SQL_TIME, false), "1:05 p");
    EXPECT_EQ(FormatGridValue("13:05:00", "h:mm A/P", SQL_TIME, false), "1:05 P");
    EXPECT_EQ(FormatGridValue("23:05:00", "h ampm", SQL_TIME, false), "11 PM");
    EXPECT_EQ(FormatGridValue("23:05:00", "h:nn", SQL_TIME, false), "23:05");  // no marker: 24 hours
    EXPECT_EQ(FormatGridValue("23:05:00", "h:nn \"am/pm\"", SQL_TIME, false), "23:05 am/pm");  // quoted
}

TEST(GridFormatting, WholeDateAndTimePictures) {
    using kelv_odbc::FormatGridValue;
    EXPECT_EQ(FormatGridValue("2026-12-07 13:45:30", "c", SQL_TYPE_TIMESTAMP, false), "2026/12/07 13:45:30");
    EXPECT_EQ(FormatGridValue("2026-12-07 00:00:00", "c", SQL_TYPE_TIMESTAMP, false), "2026/12/07");
    EXPECT_EQ(FormatGridValue("13:45:30", "t", SQL_TYPE_TIME, false), "13:45");
    EXPECT_EQ(FormatGridValue("13:45:30", "tt", SQL_TYPE_TIME, false), "13:45:30");
}

TEST(GridFormatting, FormatLookupByExactColumnName) {
    const std::vector<std::string> lines = {"BYTES=#,##0", "NAME=", "CREATED=yyyy/mm/dd"};
    EXPECT_EQ(kelv_odbc::GridFormatFor(lines, "BYTES"), "#,##0");
    EXPECT_EQ(kelv_odbc::GridFormatFor(lines, "bytes"), "");
    EXPECT_EQ(kelv_odbc::GridFormatFor(lines, "BYTE"), "");
    EXPECT_EQ(kelv_odbc::GridFormatFor(lines, "CREATED"), "yyyy/mm/dd");
    EXPECT_EQ(kelv_odbc::GridFormatFor(lines, "NAME"), "");
}
