// SQLGetData: long values in pieces, NULLs, empty texts and conversions.
// Every output buffer is followed by a sentinel byte that must survive.
#include "OdbcTestSupport.h"

#include <cstring>

using namespace kelvtest;

namespace {

constexpr int kLongTextLength = 1000;  // TXT of the LONGTEXT row: "0123456789" repeated

class GetDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_ODBC_OK(conn.DriverConnect(FakeConnectionString("getdata")), SQL_HANDLE_DBC, conn.Dbc());
        stmt = conn.NewStatement();
    }
    void Open(const char* sql) {
        ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)sql, SQL_NTS), SQL_HANDLE_STMT, stmt);
        ASSERT_ODBC_OK(SQLFetch(stmt), SQL_HANDLE_STMT, stmt);
    }
    std::string FirstState() const { return Diagnostics(SQL_HANDLE_STMT, stmt).at(0).State; }

    Connection conn;
    Handle stmt;
};

}  // namespace

TEST_F(GetDataTest, LongTextArrivesInPiecesWithRemainingLengths) {
    Open("SELECT TXT, EMPTY, NOTHING FROM LONGTEXT");
    constexpr SQLLEN kBuffer = 300;
    unsigned char buffer[kBuffer + 1];
    std::string whole;
    SQLLEN expectedRemaining = kLongTextLength;
    for (int piece = 0; piece < 3; ++piece) {
        std::memset(buffer, kSentinel, sizeof buffer);
        SQLLEN indicator = 0;
        ASSERT_EQ(SQL_SUCCESS_WITH_INFO, SQLGetData(stmt, 1, SQL_C_CHAR, buffer, kBuffer, &indicator));
        EXPECT_EQ("01004", FirstState());
        EXPECT_EQ(expectedRemaining, indicator);
        EXPECT_EQ(kSentinel, buffer[kBuffer]);
        EXPECT_EQ(static_cast<size_t>(kBuffer - 1), std::strlen(reinterpret_cast<char*>(buffer)));
        whole += reinterpret_cast<char*>(buffer);
        expectedRemaining -= kBuffer - 1;
    }
    std::memset(buffer, kSentinel, sizeof buffer);
    SQLLEN indicator = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 1, SQL_C_CHAR, buffer, kBuffer, &indicator));
    EXPECT_EQ(expectedRemaining, indicator);
    whole += reinterpret_cast<char*>(buffer);
    EXPECT_EQ(kLongTextLength, static_cast<int>(whole.size()));
    EXPECT_EQ("0123456789", whole.substr(990));
    EXPECT_EQ(SQL_NO_DATA, SQLGetData(stmt, 1, SQL_C_CHAR, buffer, kBuffer, &indicator));
}

TEST_F(GetDataTest, ZeroLengthBufferReportsTheLength) {
    Open("SELECT TXT, EMPTY, NOTHING FROM LONGTEXT");
    unsigned char buffer[1] = {kSentinel};
    SQLLEN indicator = 0;
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLGetData(stmt, 1, SQL_C_CHAR, buffer, 0, &indicator));
    EXPECT_EQ(kLongTextLength, indicator);
    EXPECT_EQ(kSentinel, buffer[0]);
}

TEST_F(GetDataTest, EmptyTextThenNoData) {
    Open("SELECT TXT, EMPTY, NOTHING FROM LONGTEXT");
    unsigned char buffer[8];
    std::memset(buffer, kSentinel, sizeof buffer);
    SQLLEN indicator = 99;
    EXPECT_EQ(SQL_SUCCESS, SQLGetData(stmt, 2, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
    EXPECT_EQ(0, indicator);
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_EQ(kSentinel, buffer[1]);
    EXPECT_EQ(SQL_NO_DATA, SQLGetData(stmt, 2, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
}

TEST_F(GetDataTest, NullNeedsAnIndicator) {
    Open("SELECT TXT, EMPTY, NOTHING FROM LONGTEXT");
    char buffer[8];
    EXPECT_EQ(SQL_ERROR, SQLGetData(stmt, 3, SQL_C_CHAR, buffer, sizeof buffer, nullptr));
    EXPECT_EQ("22002", FirstState());
    SQLLEN indicator = 0;
    EXPECT_EQ(SQL_SUCCESS, SQLGetData(stmt, 3, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
    EXPECT_EQ(SQL_NULL_DATA, indicator);
    EXPECT_EQ(SQL_NO_DATA, SQLGetData(stmt, 3, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
}

TEST_F(GetDataTest, ColumnsMayBeReadInAnyOrderAndAgainAfterAnother) {
    Open("SELECT D, AMOUNT, WORD FROM DATES");
    char buffer[32];
    SQLLEN indicator = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 3, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
    EXPECT_STREQ("abc", buffer);
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
    EXPECT_STREQ("2026-12-07 12:34:56", buffer);
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 3, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
    EXPECT_STREQ("abc", buffer);
}

TEST_F(GetDataTest, NumbersAndDatesConvertToCTypes) {
    Open("SELECT D, AMOUNT, WORD FROM DATES");
    SQLDOUBLE amount = 0;
    SQLLEN indicator = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 2, SQL_C_DOUBLE, &amount, 0, &indicator));
    EXPECT_DOUBLE_EQ(12.75, amount);
    EXPECT_EQ(static_cast<SQLLEN>(sizeof(SQLDOUBLE)), indicator);

    // Reading another column lets column 2 be read again.
    char word[8];
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 3, SQL_C_CHAR, word, sizeof word, &indicator));
    EXPECT_EQ(SQL_NO_DATA, SQLGetData(stmt, 3, SQL_C_CHAR, word, sizeof word, &indicator));
    SQLINTEGER whole = 0;
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLGetData(stmt, 2, SQL_C_SLONG, &whole, 0, &indicator));
    EXPECT_EQ(12, whole);
    EXPECT_EQ("01S07", FirstState());

    SQL_TIMESTAMP_STRUCT stamp{};
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 1, SQL_C_TYPE_TIMESTAMP, &stamp, sizeof stamp, &indicator));
    EXPECT_EQ(2026, stamp.year);
    EXPECT_EQ(12, stamp.month);
    EXPECT_EQ(7, stamp.day);
    EXPECT_EQ(12, stamp.hour);
    EXPECT_EQ(34, stamp.minute);
    EXPECT_EQ(56, stamp.second);

    SQL_DATE_STRUCT date{};
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 2, SQL_C_DEFAULT, word, sizeof word, &indicator));
    EXPECT_STREQ("12.75", word);
    ASSERT_EQ(SQL_SUCCESS, SQLGetData(stmt, 1, SQL_C_TYPE_DATE, &date, sizeof date, &indicator));
    EXPECT_EQ(7, date.day);
}

TEST_F(GetDataTest, TextThatIsNoNumberIsRefused) {
    Open("SELECT D, AMOUNT, WORD FROM DATES");
    SQLINTEGER value = 0;
    SQLLEN indicator = 0;
    EXPECT_EQ(SQL_ERROR, SQLGetData(stmt, 3, SQL_C_SLONG, &value, 0, &indicator));
    EXPECT_EQ("22018", FirstState());
}

TEST_F(GetDataTest, NumberOutOfRangeIsRefused) {
    char value[] = "300";
    SQLLEN length = SQL_NTS;
    ASSERT_ODBC_OK(SQLPrepare(stmt, (SQLCHAR*)"ECHO ?", SQL_NTS), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, value, 0, &length),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecute(stmt), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLFetch(stmt), SQL_HANDLE_STMT, stmt);
    SQLSCHAR tiny = 0;
    SQLLEN indicator = 0;
    EXPECT_EQ(SQL_ERROR, SQLGetData(stmt, 1, SQL_C_STINYINT, &tiny, 0, &indicator));
    EXPECT_EQ("22003", FirstState());
    SQLSMALLINT small = 0;
    EXPECT_EQ(SQL_SUCCESS, SQLGetData(stmt, 1, SQL_C_SSHORT, &small, 0, &indicator));
    EXPECT_EQ(300, small);
}

TEST_F(GetDataTest, ReadingBeforeTheFirstFetchIsRefused) {
    ASSERT_ODBC_OK(SQLExecDirect(stmt, (SQLCHAR*)"SELECT D, AMOUNT, WORD FROM DATES", SQL_NTS), SQL_HANDLE_STMT, stmt);
    char buffer[8];
    SQLLEN indicator = 0;
    EXPECT_EQ(SQL_ERROR, SQLGetData(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
    ASSERT_ODBC_OK(SQLFetch(stmt), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_ERROR, SQLGetData(stmt, 4, SQL_C_CHAR, buffer, sizeof buffer, &indicator));
    EXPECT_EQ("07009", FirstState());
    EXPECT_EQ(SQL_ERROR, SQLGetData(stmt, 1, SQL_C_CHAR, buffer, -5, &indicator));
}
