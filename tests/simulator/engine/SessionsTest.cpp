// Users, privileges, sessions of several programs, kills, plain SQL with
// transactions, the Oracle dialect at run time, and bad SQL.
#include "SimTestSupport.h"

#include <thread>

using namespace simtest;

namespace {

class Sessions : public InstanceFixture {
protected:
    void SetUp() override {
        InstanceFixture::SetUp();
        config_ = Config(8);
    }
    sim::SimConfig config_;
};

TEST_F(Sessions, UsersAndPasswordsAreCaseInsensitive) {
    EXPECT_TRUE(sim::Connect(config_, "System", "MANAGER")->IsDba());
    auto scott = sim::Connect(config_, "scott", "Tiger");
    EXPECT_FALSE(scott->IsDba());
    EXPECT_EQ(scott->User(), "SCOTT");
    for (auto creds : {std::pair<const char*, const char*>{"system", "tiger"}, {"nobody", "x"}, {"", ""}}) {
        try {
            sim::Connect(config_, creds.first, creds.second);
            ADD_FAILURE() << creds.first;
        } catch (const sim::SimError& e) {
            EXPECT_EQ(e.SqlState, "28000");
            EXPECT_EQ(e.NativeError, 1017);
            EXPECT_STREQ(e.what(), "ORA-01017: invalid username/password; logon denied");
        }
    }
}

TEST_F(Sessions, UsersWithoutDbaRightsSeeNoDictionary) {
    auto scott = sim::Connect(config_, "scott", "tiger");
    EXPECT_EQ(Query(*scott, "SELECT 1 FROM DUAL ").At(0, "1"), "1");
    EXPECT_EQ(ErrorOf(*scott, "SELECT * FROM V$SESSION"), 942);
    EXPECT_EQ(ErrorOf(*scott, " SELECT OWNER FROM SYS.DBA_SEGMENTS "), 942);
    EXPECT_EQ(ErrorOf(*scott, " SELECT * FROM DBA_DATA_FILES "), 942);
    EXPECT_EQ(ErrorOf(*scott, "SELECT * FROM TS$"), 942);
    EXPECT_EQ(ErrorOf(*scott, " ALTER SYSTEM FLUSH SHARED_POOL "), 1031);
    EXPECT_EQ(ErrorOf(*scott, " ALTER SYSTEM KILL SESSION '20,1' "), 1031);
    try {
        scott->Execute("SELECT BANNER FROM V$VERSION", {});
        ADD_FAILURE();
    } catch (const sim::SimError& e) {
        EXPECT_EQ(e.SqlState, "42S02");
        EXPECT_STREQ(e.what(), "ORA-00942: table or view does not exist");
    }
    auto system = sim::Connect(config_, "system", "manager");
    EXPECT_EQ(ErrorOf(*system, "SELECT * FROM SIM_META"), 942);  // the simulator's own tables stay hidden
}

TEST_F(Sessions, TwoProgramsOnOneFileSeeEachOther) {
    auto viewer = sim::Connect(config_, "system", "manager");
    auto collector = sim::Connect(config_, "system", "manager");
    Result both = Query(*viewer, "SELECT SID, SERIAL# FROM V$SESSION WHERE SID IN (?, ?)",
                        {std::to_string(viewer->Sid()), std::to_string(collector->Sid())});
    EXPECT_EQ(both.Rows.size(), 2u);
    Query(*viewer, "CREATE TABLE SHARED_T (A NUMBER)");
    Query(*viewer, "INSERT INTO SHARED_T VALUES (42)");
    EXPECT_EQ(Query(*collector, "SELECT A FROM SHARED_T").At(0, "A"), "42");
    const long sid = collector->Sid();
    collector.reset();  // logging off removes the session
    EXPECT_EQ(Query(*viewer, "SELECT COUNT(*) FROM V$SESSION WHERE SID = ?", {std::to_string(sid)}).At(0, "COUNT(*)"), "0");
}

TEST_F(Sessions, KilledSessionFailsEveryLaterCall) {
    auto dba = sim::Connect(config_, "system", "manager");
    auto victim = sim::Connect(config_, "scott", "tiger");
    const std::string id = std::to_string(victim->Sid()) + "," + std::to_string(victim->Serial());
    EXPECT_EQ(ErrorOf(*dba, " ALTER SYSTEM KILL SESSION '" + id + "' "), 0);
    EXPECT_EQ(ErrorOf(*victim, "SELECT 1 FROM DUAL"), 28);
    EXPECT_EQ(ErrorOf(*victim, "SELECT 1 FROM DUAL"), 28);
    EXPECT_THROW(victim->Commit(), sim::SimError);
    EXPECT_EQ(ErrorOf(*dba, " ALTER SYSTEM KILL SESSION '" + id + "' "), 30);
}

TEST_F(Sessions, BadKillRequests) {
    auto dba = sim::Connect(config_, "system", "manager");
    EXPECT_EQ(ErrorOf(*dba, " ALTER SYSTEM KILL SESSION '1,1' "), 29);       // a background process
    EXPECT_EQ(ErrorOf(*dba, " ALTER SYSTEM KILL SESSION '9999,1' "), 30);
    EXPECT_EQ(ErrorOf(*dba, " ALTER SYSTEM KILL SESSION '1,234,5' "), 26);
    EXPECT_EQ(ErrorOf(*dba, " ALTER SYSTEM KILL SESSION 'abc' "), 26);
    EXPECT_EQ(ErrorOf(*dba, " ALTER SYSTEM KILL SESSION '' "), 26);
    EXPECT_EQ(ErrorOf(*dba, " ALTER SYSTEM KILL SESSION "), 26);
    EXPECT_EQ(ErrorOf(*dba, " ALTER SYSTEM KILL SESSION '-1,5' "), 26);
    EXPECT_EQ(ErrorOf(*dba, " ALTER SYSTEM DO SOMETHING "), 2065);
}

TEST_F(Sessions, PlainTablesWithParametersNullsLongTextsAndTransactions) {
    auto s = sim::Connect(config_, "system", "manager");
    EXPECT_EQ(Query(*s, "CREATE TABLE items (id NUMBER(10), name VARCHAR2(4000), note VARCHAR2(20), created DATE)")
                  .RowsAffected, 0);
    const std::string longText(100000, 'x');
    Result ins = Query(*s, "INSERT INTO ITEMS (ID, NAME, NOTE) VALUES (?, ?, ?)",
                       {std::string("1"), longText, std::nullopt});
    EXPECT_EQ(ins.RowsAffected, 1);
    Query(*s, "INSERT INTO ITEMS VALUES (2, 'it''s', '', TO_DATE('2026-12-01 10:00:00', 'YYYY-MM-DD HH24:MI:SS'))");
    Result all = Query(*s, "SELECT * FROM items ORDER BY id");
    EXPECT_EQ(all.Columns, (std::vector<std::string>{"ID", "NAME", "NOTE", "CREATED"}));
    EXPECT_EQ(all.At(0, "NAME").size(), longText.size());
    EXPECT_EQ(all.At(0, "NOTE"), "<NULL>");
    EXPECT_EQ(all.At(1, "NAME"), "it's");
    EXPECT_EQ(all.At(1, "NOTE"), "<NULL>");  // Oracle stores '' as NULL
    EXPECT_EQ(all.At(1, "CREATED"), "2026-12-01 10:00:00");

    auto cols = s->Describe("SELECT ID, NAME, CREATED, COUNT(*) FROM ITEMS GROUP BY ID, NAME, CREATED");
    ASSERT_EQ(cols.size(), 4u);
    EXPECT_EQ(cols[0].SqlType, 3);
    EXPECT_EQ(cols[0].ColumnSize, 10u);
    EXPECT_EQ(cols[1].SqlType, 12);
    EXPECT_EQ(cols[1].ColumnSize, 4000u);
    EXPECT_EQ(cols[2].SqlType, 93);
    EXPECT_EQ(cols[3].Name, "COUNT(*)");

    s->SetAutoCommit(false);
    Query(*s, "UPDATE ITEMS SET NOTE = 'changed' WHERE ID = ?", {std::string("2")});
    auto other = sim::Connect(config_, "system", "manager");
    EXPECT_EQ(Query(*other, "SELECT NOTE FROM ITEMS WHERE ID = 2").At(0, "NOTE"), "<NULL>");
    s->Rollback();
    EXPECT_EQ(Query(*s, "SELECT NOTE FROM ITEMS WHERE ID = 2").At(0, "NOTE"), "<NULL>");
    EXPECT_EQ(Query(*s, "DELETE FROM ITEMS WHERE ID = 1").RowsAffected, 1);
    EXPECT_EQ(Query(*s, "DELETE FROM ITEMS WHERE ID = 99").RowsAffected, 0);
    s->Commit();
    EXPECT_EQ(Query(*other, "SELECT COUNT(*) FROM ITEMS").At(0, "COUNT(*)"), "1");
    EXPECT_EQ(ErrorOf(*s, "CREATE TABLE ITEMS (X NUMBER)"), 955);

    // The object views name SYSTEM as the owner of users' tables, so the
    // owner-qualified name must reach the same table.
    EXPECT_EQ(Query(*s, "SELECT OWNER FROM ALL_TABLES WHERE TABLE_NAME = 'ITEMS'").At(0, "OWNER"), "SYSTEM");
    EXPECT_EQ(Query(*s, "SELECT COUNT(*) FROM SYSTEM.ITEMS").At(0, "COUNT(*)"), "1");
    EXPECT_EQ(Query(*s, "SELECT COUNT(*) FROM \"SYSTEM\".\"ITEMS\"").At(0, "COUNT(*)"), "1");
    EXPECT_EQ(Query(*s, "UPDATE system.items SET note = 'q'").RowsAffected, 1);
}

TEST_F(Sessions, OracleDialectAtRunTime) {
    auto s = sim::Connect(config_, "system", "manager");
    Result r = Query(*s, "SELECT 7/2 A, 1/2 B, 6/3 C, DECODE(SIGN(3 - 5), -1, 'neg', 'pos') D, NVL(NULL, 'n') E, "
                         "SUBSTRB('abcdef', 2, 3) F, ROUND(2.5) G, ROUND(AVG(3)) H, UPPER('x') || 'y' I, "
                         "TO_CHAR(TO_DATE('12/06/26', 'MM/DD/YY'), 'YY/MM/DD(DY)') J FROM DUAL");
    EXPECT_EQ(r.At(0, "A"), "3.5");
    EXPECT_EQ(r.At(0, "B"), ".5");
    EXPECT_EQ(r.At(0, "C"), "2");
    EXPECT_EQ(r.At(0, "D"), "neg");
    EXPECT_EQ(r.At(0, "E"), "n");
    EXPECT_EQ(r.At(0, "F"), "bcd");
    EXPECT_EQ(r.At(0, "G"), "3");
    EXPECT_EQ(r.At(0, "H"), "3");
    EXPECT_EQ(r.At(0, "I"), "Xy");
    EXPECT_EQ(r.At(0, "J"), "26/12/06(SUN)");
    // LIKE is case-sensitive as in Oracle.
    EXPECT_EQ(Query(*s, "SELECT COUNT(*) FROM V$SYSSTAT WHERE NAME LIKE '%SORT%'").At(0, "COUNT(*)"), "0");
    EXPECT_EQ(Query(*s, "SELECT COUNT(*) FROM V$SYSSTAT WHERE NAME LIKE '%sort%'").At(0, "COUNT(*)"), "3");
    // Both the SYS. prefix and the bare name reach the dictionary.
    EXPECT_EQ(Query(*s, "SELECT COUNT(*) FROM SYS.DBA_SEGMENTS").At(0, "COUNT(*)"),
              Query(*s, "SELECT COUNT(*) FROM DBA_SEGMENTS").At(0, "COUNT(*)"));
    EXPECT_EQ(Query(*s, "SELECT COUNT(*) C FROM (SELECT 1 FROM DUAL UNION ALL SELECT 2 FROM DUAL MINUS SELECT 2 FROM DUAL)").At(0, "C"), "1");
}

TEST_F(Sessions, BadSqlGetsOracleErrors) {
    auto s = sim::Connect(config_, "system", "manager");
    EXPECT_EQ(ErrorOf(*s, "SELEC 1 FROM DUAL"), 900);
    EXPECT_EQ(ErrorOf(*s, ""), 900);
    EXPECT_EQ(ErrorOf(*s, "SELECT NOPE FROM DUAL"), 904);
    EXPECT_EQ(ErrorOf(*s, "SELECT NOPE(1) FROM DUAL"), 904);
    EXPECT_EQ(ErrorOf(*s, "SELECT * FROM NO_SUCH_TABLE"), 942);
    EXPECT_EQ(ErrorOf(*s, "SELECT 1 FROM DUAL WHERE"), 921);
    EXPECT_EQ(ErrorOf(*s, "SELECT 1 FROM DUAL DUAL DUAL"), 933);
    EXPECT_EQ(ErrorOf(*s, "SELECT TO_NUMBER('abc') FROM DUAL"), 1722);
    EXPECT_EQ(ErrorOf(*s, "SELECT TO_DATE('99/99/99', 'MM/DD/YY') FROM DUAL"), 1843);
    EXPECT_EQ(ErrorOf(*s, "SELECT TO_CHAR(SYSDATE, 'QQQ') FROM DUAL"), 1821);
    EXPECT_THROW(s->Describe("SELECT * FROM NOWHERE"), sim::SimError);
    // The session stays usable after errors.
    EXPECT_EQ(Query(*s, "SELECT 1 FROM DUAL").At(0, "1"), "1");
}

TEST_F(Sessions, TwoProgramsCreatingTheInstanceAtOnceShareOne) {
    std::vector<std::unique_ptr<sim::SimSession>> sessions(4);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (size_t i = 0; i < sessions.size(); ++i)
        threads.emplace_back([&, i] {
            try {
                sessions[i] = sim::Connect(config_, "system", "manager");
            } catch (...) {
                ++failures;
            }
        });
    for (auto& t : threads) t.join();
    ASSERT_EQ(failures.load(), 0);
    Result segs = Query(*sessions[0], "SELECT COUNT(*) FROM DBA_SEGMENTS");
    EXPECT_EQ(segs.At(0, "COUNT(*)"), Query(*sessions[3], "SELECT COUNT(*) FROM DBA_SEGMENTS").At(0, "COUNT(*)"));
    EXPECT_EQ(Query(*sessions[1], "SELECT COUNT(*) FROM V$SESSION WHERE SID >= 200").At(0, "COUNT(*)"), "4");
}

}  // namespace

namespace {

// Malformed text of every kind ends in an Oracle error, never a crash.
TEST_F(Sessions, GarbageStatementsNeverCrash) {
    auto s = sim::Connect(config_, "system", "manager");
    const std::vector<std::string> garbage = {
        "(", ")", "(+)", ",", "'", "\"", "?", "SELECT", "SELECT FROM", "FROM DUAL", "SELECT * FROM (SELECT",
        "SELECT 1 FROM DUAL WHERE (+)", "SELECT (+) FROM DUAL", "SELECT A.B(+) FROM A", "ALTER", "ALTER SYSTEM",
        "ALTER SYSTEM SET SIM_", "ALTER SYSTEM SET SIM_FAILSQL", "ALTER SYSTEM KILL", "ALTER SYSTEM KILL SESSION '99999999999999999999,1'",
        "INSERT INTO", "UPDATE", "DELETE", "DROP TABLE DBA_SEGMENTS", "DELETE FROM V$SESSION", "UPDATE SYS.TS$ SET NAME = 'X'",
        "CREATE TABLE", "SELECT 1 FROM DUAL UNION", "SELECT TO_CHAR(SYSDATE, '\"') FROM DUAL",
        "SELECT DECODE(1) FROM DUAL", "SELECT SUBSTRB('abc', -10, 2) FROM DUAL", "SELECT LPAD('a', 100000000, '') FROM DUAL",
        std::string(5000, '('), std::string(5000, ')'), "SELECT " + std::string(300, '(') + "1" + std::string(300, ')') + " FROM DUAL",
        std::string("SELECT 1\0 FROM DUAL", 19), "\xff\xfe SELECT"};
    for (const std::string& sql : garbage) {
        try {
            auto cursor = s->Execute(sql, {std::string("x")});
            while (cursor->Next()) {
            }
        } catch (const sim::SimError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("ORA-", 0), 0u) << sql;
        }
    }
    EXPECT_EQ(ErrorOf(*s, "DROP TABLE DBA_SEGMENTS"), 1031);
    EXPECT_EQ(ErrorOf(*s, "DELETE FROM V$SESSION"), 1031);
    EXPECT_EQ(Query(*s, "SELECT 1 FROM DUAL").At(0, "1"), "1");
}

}  // namespace

namespace {

// Describe before Execute (SQLPrepare, SQLNumResultCols, SQLExecute) gives
// the same columns and all the rows.
TEST_F(Sessions, DescribeThenExecuteGivesTheWholeResult) {
    auto s = sim::Connect(config_, "system", "manager");
    const std::string sql = "SELECT NAME, GETS + IMMEDIATE_GETS AS GETS FROM V$LATCH ORDER BY NAME";
    auto described = s->Describe(sql);
    ASSERT_EQ(described.size(), 2u);
    EXPECT_EQ(described[1].Name, "GETS");
    Result first = Query(*s, sql);
    Result second = Query(*s, sql);
    EXPECT_EQ(first.Rows.size(), 40u);
    EXPECT_EQ(first.Columns, second.Columns);
    EXPECT_EQ(first.Rows.front(), second.Rows.front());
    // A describe followed by another statement leaves nothing behind.
    s->Describe("SELECT * FROM V$SESSION");
    Query(*s, "CREATE TABLE AFTER_DESCRIBE (A NUMBER)");
    EXPECT_EQ(Query(*s, "SELECT COUNT(*) FROM AFTER_DESCRIBE").At(0, "COUNT(*)"), "0");
    EXPECT_TRUE(s->Describe("SELECT 1 FROM DUAL WHERE 1 = 0").size() == 1);
    EXPECT_TRUE(Query(*s, "SELECT 1 FROM DUAL WHERE 1 = 0").Rows.empty());
}

}  // namespace

namespace {

// The object lists show the dictionary, the simulated schemas and the
// users' own tables; the simulator's bookkeeping stays out of them.
TEST_F(Sessions, ObjectListsIncludeUsersTables) {
    auto s = sim::Connect(config_, "system", "manager");
    Query(*s, "CREATE TABLE MY_OWN (A NUMBER)");
    auto count = [&](const std::string& sql) { return Query(*s, sql).At(0, "COUNT(*)"); };
    EXPECT_EQ(count("SELECT COUNT(*) FROM ALL_OBJECTS WHERE OBJECT_NAME = 'MY_OWN' AND OBJECT_TYPE = 'TABLE'"), "1");
    EXPECT_EQ(count("SELECT COUNT(*) FROM ALL_OBJECTS WHERE OBJECT_NAME = 'V$SESSION' AND OBJECT_TYPE = 'SYNONYM'"), "1");
    EXPECT_EQ(count("SELECT COUNT(*) FROM DBA_OBJECTS WHERE OBJECT_NAME LIKE 'SIM%'"), "0");
    EXPECT_EQ(count("SELECT COUNT(*) FROM ALL_TABLES WHERE TABLE_NAME = 'MY_OWN'"), "1");
    EXPECT_EQ(count("SELECT COUNT(*) FROM USER_TABLES"), "1");
    auto scott = sim::Connect(config_, "scott", "tiger");
    EXPECT_EQ(Query(*scott, "SELECT COUNT(*) FROM ALL_TABLES WHERE TABLE_NAME = 'MY_OWN'").At(0, "COUNT(*)"), "1");
    EXPECT_EQ(ErrorOf(*scott, "SELECT COUNT(*) FROM DBA_OBJECTS"), 942);
}

}  // namespace
