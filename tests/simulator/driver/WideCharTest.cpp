// Wide characters through the driver manager, as a Unicode application uses
// them: SQL_C_WCHAR results in pieces and bound, wide parameters, and the W
// functions for statement texts, column names and diagnostics. Lengths of
// wide buffers count bytes (SQLGetData, SQLBindCol, SQLColAttributeW) or
// characters (SQLDescribeColW, SQLGetDiagRecW). Every buffer is followed by
// a sentinel that must survive.
#include "OdbcTestSupport.h"

#include <sqlucode.h>

#include <cstring>
#include <string>

using namespace kelvtest;

namespace {

constexpr SQLLEN kUnit = sizeof(SQLWCHAR);

const SQLWCHAR* W(const char16_t* text) { return reinterpret_cast<const SQLWCHAR*>(text); }
SQLWCHAR* MutableW(char16_t* text) { return reinterpret_cast<SQLWCHAR*>(text); }

std::u16string FromBuffer(const SQLWCHAR* units) {
    std::u16string text;
    for (; *units; ++units) text += static_cast<char16_t>(*units);
    return text;
}

class WideCharTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RealInstanceAvailable()) GTEST_SKIP() << "the simulated instance driver is not available";
        ASSERT_ODBC_OK(conn.Connect(kRealDsn), SQL_HANDLE_DBC, conn.Dbc());
        stmt = conn.NewStatement();
    }
    void OpenWide(const char16_t* sql) {
        ASSERT_ODBC_OK(SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(W(sql)), SQL_NTS), SQL_HANDLE_STMT, stmt);
        ASSERT_ODBC_OK(SQLFetch(stmt), SQL_HANDLE_STMT, stmt);
    }
    std::string FirstState() const { return Diagnostics(SQL_HANDLE_STMT, stmt).at(0).State; }

    // One SQLGetData piece into a buffer of `bytes` bytes and a sentinel.
    struct Piece {
        SQLRETURN Rc;
        SQLLEN Indicator;
        std::u16string Text;
    };
    Piece GetPiece(SQLUSMALLINT column, SQLLEN bytes) {
        unsigned char buffer[64];
        std::memset(buffer, kSentinel, sizeof buffer);
        SQLLEN indicator = -99;
        const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_WCHAR, buffer, bytes, &indicator);
        EXPECT_EQ(kSentinel, buffer[bytes]) << "wrote past " << bytes << " bytes";
        SQLWCHAR units[32] = {};
        std::memcpy(units, buffer, static_cast<size_t>(bytes));
        return {rc, indicator, bytes >= kUnit ? FromBuffer(units) : std::u16string()};
    }

    Connection conn;
    Handle stmt;
};

}  // namespace

TEST_F(WideCharTest, TextArrivesInWholeCharacterPieces) {
    // Six UTF-16 units: three kana, a surrogate pair, a letter.
    OpenWide(u"SELECT 'データ\U0001F600x' AS T FROM DUAL");
    // Room for two units beside the terminator: the pair is never split.
    Piece p = GetPiece(1, 3 * kUnit);
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, p.Rc);
    EXPECT_EQ("01004", FirstState());
    EXPECT_EQ(6 * kUnit, p.Indicator);
    EXPECT_EQ(u"デー", p.Text);
    p = GetPiece(1, 3 * kUnit);
    EXPECT_EQ(4 * kUnit, p.Indicator);
    EXPECT_EQ(u"タ", p.Text);
    p = GetPiece(1, 3 * kUnit);
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, p.Rc);
    EXPECT_EQ(3 * kUnit, p.Indicator);
    EXPECT_EQ(u"\U0001F600", p.Text);
    p = GetPiece(1, 3 * kUnit);
    EXPECT_EQ(SQL_SUCCESS, p.Rc);
    EXPECT_EQ(kUnit, p.Indicator);
    EXPECT_EQ(u"x", p.Text);
    EXPECT_EQ(SQL_NO_DATA, GetPiece(1, 3 * kUnit).Rc);
}

TEST_F(WideCharTest, ExactFitAndBuffersTooSmallForAnyCharacter) {
    OpenWide(u"SELECT 'ab' AS T, 'cd' AS U, '' AS E FROM DUAL");
    // Two units and the terminator fit exactly.
    Piece p = GetPiece(1, 3 * kUnit);
    EXPECT_EQ(SQL_SUCCESS, p.Rc);
    EXPECT_EQ(2 * kUnit, p.Indicator);
    EXPECT_EQ(u"ab", p.Text);
    // A buffer of zero bytes, or one byte short of a unit, only reports the length.
    p = GetPiece(2, 0);
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, p.Rc);
    EXPECT_EQ(2 * kUnit, p.Indicator);
    p = GetPiece(2, 1);
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, p.Rc);
    EXPECT_EQ(2 * kUnit, p.Indicator);
    p = GetPiece(2, 3 * kUnit - 1);  // an odd size: one unit and the terminator
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, p.Rc);
    EXPECT_EQ(u"c", p.Text);
    // An empty text is a terminator alone (the instance reads '' as NULL).
    SQLLEN indicator = 0;
    SQLWCHAR buffer[4];
    EXPECT_EQ(SQL_SUCCESS, SQLGetData(stmt, 3, SQL_C_WCHAR, buffer, sizeof buffer, &indicator));
    EXPECT_EQ(SQL_NULL_DATA, indicator);
}

TEST_F(WideCharTest, BoundWideColumnIsCutAtAWholeCharacter) {
    ASSERT_ODBC_OK(SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(W(u"SELECT 'ab\U0001F600' AS T, 'ok' AS N FROM DUAL")),
                                  SQL_NTS),
                   SQL_HANDLE_STMT, stmt);
    unsigned char wide[4 * kUnit + 1];
    std::memset(wide, kSentinel, sizeof wide);
    char narrow[8] = {};
    SQLLEN wideLength = 0, narrowLength = 0;
    // Room for three units: "ab" and half a pair, so only "ab".
    ASSERT_ODBC_OK(SQLBindCol(stmt, 1, SQL_C_WCHAR, wide, 4 * kUnit, &wideLength), SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindCol(stmt, 2, SQL_C_CHAR, narrow, sizeof narrow, &narrowLength), SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLFetch(stmt));
    EXPECT_EQ("01004", FirstState());
    EXPECT_EQ(4 * kUnit, wideLength);
    SQLWCHAR units[4];
    std::memcpy(units, wide, sizeof units);
    EXPECT_EQ(u"ab", FromBuffer(units));
    EXPECT_EQ(kSentinel, wide[4 * kUnit]);
    EXPECT_STREQ("ok", narrow);
}

TEST_F(WideCharTest, WideParametersCarryAnyCharacter) {
    ASSERT_ODBC_OK(SQLPrepareW(stmt, const_cast<SQLWCHAR*>(W(u"SELECT ? AS P, ? AS Q FROM DUAL")), SQL_NTS),
                   SQL_HANDLE_STMT, stmt);
    char16_t whole[] = u"ﾃﾞｰﾀ\U0001F600";
    char16_t cut[] = u"abcdef";
    SQLLEN wholeLength = SQL_NTS, cutLength = 2 * kUnit;  // only "ab"
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 20, 0, MutableW(whole),
                                    sizeof whole, &wholeLength),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 20, 0, MutableW(cut),
                                    sizeof cut, &cutLength),
                   SQL_HANDLE_STMT, stmt);
    ASSERT_ODBC_OK(SQLExecute(stmt), SQL_HANDLE_STMT, stmt);
    const auto rows = FetchAllText(stmt);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("ﾃﾞｰﾀ\xF0\x9F\x98\x80", rows[0][0]);  // the narrow text is UTF-8
    EXPECT_EQ("ab", rows[0][1]);
}

TEST_F(WideCharTest, WideColumnNamesAndLabels) {
    OpenWide(u"SELECT 1 AS \"件数\" FROM DUAL");
    SQLWCHAR name[8];
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLDescribeColW(stmt, 1, name, 8, &nameLength, &type, &size, &digits, &nullable));
    EXPECT_EQ(u"件数", FromBuffer(name));
    EXPECT_EQ(2, nameLength);  // characters
    // Room for one character: cut, with the whole length.
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO, SQLDescribeColW(stmt, 1, name, 2, &nameLength, &type, &size, &digits, &nullable));
    EXPECT_EQ("01004", FirstState());
    EXPECT_EQ(u"件", FromBuffer(name));
    EXPECT_EQ(2, nameLength);

    SQLWCHAR label[8];
    SQLSMALLINT labelBytes = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLColAttributeW(stmt, 1, SQL_DESC_LABEL, label, sizeof label, &labelBytes, nullptr));
    EXPECT_EQ(u"件数", FromBuffer(label));
    EXPECT_EQ(2 * kUnit, labelBytes);  // bytes
    SQLLEN numeric = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLColAttributeW(stmt, 1, SQL_DESC_CONCISE_TYPE, nullptr, 0, nullptr, &numeric));
    EXPECT_EQ(type, numeric);
}

TEST_F(WideCharTest, WideDiagnosticsCarryTheOracleMessage) {
    EXPECT_EQ(SQL_ERROR, SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(W(u"SELECT * FROM 表なし")), SQL_NTS));
    SQLWCHAR state[6];
    SQLWCHAR message[128];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    ASSERT_EQ(SQL_SUCCESS, SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, state, &native, message, 128, &length));
    EXPECT_EQ(u"42S02", FromBuffer(state));
    EXPECT_EQ(942, native);
    const std::u16string text = FromBuffer(message);
    EXPECT_EQ(0u, text.find(u"ORA-00942")) << std::string(text.begin(), text.end());
    EXPECT_EQ(static_cast<SQLSMALLINT>(text.size()), length);
    // Cut: the return code tells, the records stay as they are.
    SQLWCHAR shortMessage[4];
    EXPECT_EQ(SQL_SUCCESS_WITH_INFO,
              SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, state, &native, shortMessage, 4, &length));
    EXPECT_EQ(u"ORA", FromBuffer(shortMessage));
    EXPECT_EQ(static_cast<SQLSMALLINT>(text.size()), length);
    EXPECT_EQ(SQL_NO_DATA, SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 2, state, &native, message, 128, &length));
}
