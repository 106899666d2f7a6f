// The Oracle-to-SQLite translation on its own, without an instance.
#include "OracleTranslator.h"
#include "SimEngine.h"

#include <gtest/gtest.h>

using sim::StatementKind;
using sim::TranslateOracleSql;

namespace {

int ErrorCode(const std::string& sql) {
    try {
        TranslateOracleSql(sql);
    } catch (const sim::SimError& e) {
        return e.NativeError;
    }
    return 0;
}

TEST(Translator, QuotesNamesWithDollarAndHashAndDropsSysSchema) {
    auto tr = TranslateOracleSql("select serial#, ts# from sys.v$session where sid = ?");
    EXPECT_NE(tr.Sql.find("\"SERIAL#\""), std::string::npos) << tr.Sql;
    EXPECT_NE(tr.Sql.find("\"V$SESSION\""), std::string::npos) << tr.Sql;
    EXPECT_EQ(tr.Sql.find("SYS"), std::string::npos) << tr.Sql;
    EXPECT_TRUE(tr.UsesSysSchema);
    EXPECT_EQ(tr.ParameterCount, 1);
    EXPECT_EQ(tr.Kind, StatementKind::Query);
    EXPECT_TRUE(tr.Identifiers.count("V$SESSION"));
}

TEST(Translator, OuterJoinMarksBecomeLeftJoinsPerQueryBlock) {
    auto tr = TranslateOracleSql(
        "SELECT S.A, T.B FROM X T, Y S WHERE S.K = T.K (+) AND S.L = T.L(+) AND S.A > 1 ORDER BY S.A");
    EXPECT_NE(tr.Sql.find("LEFT JOIN \"X\" \"T\" ON (\"S\" . \"K\" = \"T\" . \"K\") AND (\"S\" . \"L\" = \"T\" . \"L\")"),
              std::string::npos)
        << tr.Sql;
    EXPECT_NE(tr.Sql.find("WHERE (\"S\" . \"A\" > 1) ORDER BY"), std::string::npos) << tr.Sql;
    // Inside a subquery in FROM, with nothing left for WHERE.
    auto nested = TranslateOracleSql("SELECT * FROM (SELECT D.F, SUM(E.B) U FROM E, D WHERE D.F = E.F(+) GROUP BY D.F) WHERE F = ?");
    EXPECT_NE(nested.Sql.find("FROM \"D\" LEFT JOIN \"E\" ON"), std::string::npos) << nested.Sql;
    EXPECT_NE(nested.Sql.find(") GROUP BY"), std::string::npos) << nested.Sql;
}

TEST(Translator, OuterJoinMisuseIsAnOracleError) {
    EXPECT_EQ(ErrorCode("SELECT 1 FROM A, B WHERE A.X = B.X(+) OR A.Y = 1"), 1719);
    EXPECT_EQ(ErrorCode("SELECT 1 FROM A, B WHERE A.X = C.X(+)"), 904);
    EXPECT_EQ(ErrorCode("SELECT 1 FROM A WHERE X(+) = 1"), 936);
}

TEST(Translator, UnaliasedExpressionsGetOracleColumnNames) {
    auto tr = TranslateOracleSql("select count(*), 1, nvl(a, 'x'), t.b, c from t");
    EXPECT_NE(tr.Sql.find("AS \"COUNT(*)\""), std::string::npos) << tr.Sql;
    EXPECT_NE(tr.Sql.find("AS \"1\""), std::string::npos) << tr.Sql;
    EXPECT_NE(tr.Sql.find("AS \"NVL(A,'X')\""), std::string::npos) << tr.Sql;
    EXPECT_EQ(tr.Sql.find("AS \"T.B\""), std::string::npos) << tr.Sql;
    auto aliased = TranslateOracleSql("SELECT A.VALUE + B.VALUE AS EXCT, S.EXTENTS - 1 TOT_EXT, X \"Mixed\" FROM T");
    EXPECT_EQ(aliased.Sql.find(" AS \"A.VALUE"), std::string::npos) << aliased.Sql;
    EXPECT_NE(aliased.Sql.find("\"Mixed\""), std::string::npos) << aliased.Sql;
}

TEST(Translator, DivisionMinusAndSysdateFollowOracle) {
    auto tr = TranslateOracleSql("SELECT 7/2 FROM DUAL MINUS SELECT SYSDATE FROM DUAL");
    EXPECT_NE(tr.Sql.find("7 * 1.0 / 2"), std::string::npos) << tr.Sql;
    EXPECT_NE(tr.Sql.find("EXCEPT"), std::string::npos) << tr.Sql;
    EXPECT_NE(tr.Sql.find("SYSDATE()"), std::string::npos) << tr.Sql;
}

TEST(Translator, StringsKeepQuotesAndCase) {
    auto tr = TranslateOracleSql("SELECT 'it''s', \"lower\" FROM t WHERE name LIKE '%sort%'");
    EXPECT_NE(tr.Sql.find("'it''s'"), std::string::npos) << tr.Sql;
    EXPECT_NE(tr.Sql.find("\"lower\""), std::string::npos) << tr.Sql;
    EXPECT_NE(tr.Sql.find("'%sort%'"), std::string::npos) << tr.Sql;
}

TEST(Translator, StatementKindsAndMalformedText) {
    EXPECT_EQ(TranslateOracleSql("  INSERT INTO T VALUES (1)").Kind, StatementKind::Dml);
    EXPECT_EQ(TranslateOracleSql("create table t (a number)").Kind, StatementKind::Ddl);
    EXPECT_EQ(TranslateOracleSql("ALTER SYSTEM FLUSH SHARED_POOL").Kind, StatementKind::AlterSystem);
    EXPECT_EQ(TranslateOracleSql("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY'").Kind, StatementKind::AlterSession);
    EXPECT_EQ(TranslateOracleSql("commit").Kind, StatementKind::Commit);
    EXPECT_EQ(TranslateOracleSql("SELECT 1 FROM DUAL;").Kind, StatementKind::Query);
    EXPECT_EQ(TranslateOracleSql("TRUNCATE TABLE T").Kind, StatementKind::Dml);
    EXPECT_EQ(ErrorCode(""), 900);
    EXPECT_EQ(ErrorCode("   "), 900);
    EXPECT_EQ(ErrorCode("SELECT 'abc FROM DUAL"), 1756);
    EXPECT_EQ(ErrorCode("SELECT \"abc FROM DUAL"), 1740);
    EXPECT_EQ(ErrorCode("SELECT (1 FROM DUAL"), 907);
    EXPECT_EQ(ErrorCode("SELECT 1) FROM DUAL"), 933);
    EXPECT_EQ(ErrorCode("SELECT 1 FROM DUAL; DROP TABLE X"), 911);
    EXPECT_EQ(ErrorCode("SELECT @x FROM DUAL"), 911);
}

TEST(Translator, SqliteKeywordsAsColumnNamesAreQuoted) {
    auto tr = TranslateOracleSql("SELECT ACTION, KEY, ROWS, TEMP FROM T");
    EXPECT_NE(tr.Sql.find("\"ACTION\""), std::string::npos) << tr.Sql;
    EXPECT_NE(tr.Sql.find("\"ROWS\""), std::string::npos) << tr.Sql;
}

}  // namespace
