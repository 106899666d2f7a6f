// The shared driver tests against the simulated Oracle instance, plus the
// dictionary query the programs use. The process gets an instance file of its
// own, so its tables and faults never reach other test processes.
#include "DriverFixture.h"
#include "TempOdbcIni.h"

#include <memory>
#include <unistd.h>

namespace {

constexpr const char* kSimDsn = "KELV_ORA10";

std::unique_ptr<TempOdbcIni> simIni;

const char* simDriver() {
    const char* driver = getenv("KELV_SIM_DRIVER");
    return driver && access(driver, R_OK) == 0 ? driver : nullptr;
}

class SimEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const char* driver = simDriver();
        if (!driver) return;
        // A small instance builds quickly; the tests need none of its bulk.
        simIni = std::make_unique<TempOdbcIni>(std::string("[") + kSimDsn + "]\nDriver = " + driver +
                                               "\nDatabase = @DIR@/sim.db\nVersion = 10\nSegments = 12\n");
    }
    void TearDown() override { simIni.reset(); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new SimEnvironment);

}  // namespace

const DriverProfile& CurrentProfile() {
    static DriverProfile profile = [] {
        DriverProfile p;
        p.dsn = kSimDsn;
        p.user = "system";
        p.password = "manager";
        p.textType = "VARCHAR2(250)";
        p.decimalType = "NUMBER(10,2)";
        p.longTextType = "CLOB";
        p.integerSqlType = SQL_DECIMAL;  // INTEGER is NUMBER(38)
        p.upperCaseNames = true;
        p.emptyStringIsNull = true;
        p.fromNoTable = " FROM DUAL";
        // This process has the instance to itself and a new logon takes the
        // highest client SID, so the newest session of this program is ours.
        p.sessionIdSql =
            "SELECT SID || ',' || SERIAL# FROM V$SESSION WHERE SID = "
            "(SELECT MAX(SID) FROM V$SESSION WHERE PROGRAM = 'test_odbc_sim')";
        p.killSessionSql = "ALTER SYSTEM KILL SESSION '@ID@'";
        p.cancelConnectInfo = "CancelDialog=1";
        if (!simDriver()) p.unavailable = "simulated Oracle driver not built";
        return p;
    }();
    return profile;
}

TEST_F(QueryDriverTest, SimSgaStatLogBuffer) {
    TQueryODBC& q = *q_;
    q.SetSQLText(" SELECT BYTES FROM V$SGASTAT   WHERE UPPER(NAME) = ? ");
    q.Prepare();
    q.SetParamType(1, SQL_CHAR);
    q.SetParam(1, "LOG_BUFFER");
    q.Execute();
    ASSERT_TRUE(q.Fetch());
    const std::string bytes = q.FieldByName("BYTES");
    EXPECT_FALSE(bytes.empty());
    EXPECT_NE(bytes, "<Null>");
    EXPECT_EQ(CatchODBC([&] { q.FieldByName("bytes"); }).ErrorMessage, "QueryODBC: Column not found. Name : bytes");
    EXPECT_FALSE(q.Fetch());
    EXPECT_EQ(q.StmtHandle(), nullptr);
    EXPECT_EQ(q.GetParam(1), "");
}

TEST_F(QueryDriverTest, SimLoginCheckStatement) {
    TQueryODBC& q = *q_;
    q.SetSQLText("SELECT 1 FROM DUAL ");
    q.Prepare();
    q.Execute();
    EXPECT_TRUE(q.Connected());
    ASSERT_TRUE(q.Fetch());
    EXPECT_EQ(q.RowValues().at(1), "1");
}

namespace {

// A connection of its own, with data-source keys that only it sees.
std::unique_ptr<TQueryODBC> simQueryWith(const std::string& keys) {
    auto q = std::make_unique<TQueryODBC>("qrySim");
    q->SetDSName("KELV_ORA10");
    q->SetUserID("system");
    q->SetPassword("manager");
    q->SetConnectInfo(keys);
    return q;
}

}  // namespace

TEST_F(QueryDriverTest, SimLostSessionFailsEveryLaterCall) {
    auto q = simQueryWith("DropAfter=2");
    q->SetSQLText("SELECT 1 FROM DUAL");
    q->Execute();
    while (q->Fetch()) {
    }
    q->Execute();
    while (q->Fetch()) {
    }
    EODBCError e = CatchODBC([&] {
        q->Execute();
        while (q->Fetch()) {
        }
    });
    EXPECT_EQ(e.SQLState, "08S01");
    EXPECT_NE(e.ErrorMessage.find("ORA-03113"), std::string::npos) << e.ErrorMessage;
    EXPECT_EQ(q->StmtHandle(), nullptr);
    EXPECT_EQ(CatchODBC([&] { q->ExecDirect("SELECT 1 FROM DUAL"); }).SQLState, "08S01");
    try {
        q->Disconnect();
    } catch (const EODBCError&) {
        // the session is gone; the handles must go all the same
    }
    EXPECT_FALSE(q->Connected());
    EXPECT_EQ(q->ConnHandle(), nullptr);
}

TEST_F(QueryDriverTest, SimFetchWarningFailsFetchButNotFetchToRec) {
    auto q = simQueryWith("FetchInfo=1");
    q->SetSQLText("SELECT 1 FROM DUAL");
    q->Execute();
    EODBCError e = CatchODBC([&] { q->Fetch(); });
    EXPECT_EQ(e.ODBCFunction, "SQLFetch");
    EXPECT_EQ(e.SQLState, "01000");
    EXPECT_EQ(q->RowValues().size(), 1u);  // the label only

    q->Execute();
    std::vector<char> record(64, 0);
    EXPECT_TRUE(q->FetchToRec(record.data()));
}

TEST_F(QueryDriverTest, SimFailedStatementCarriesOracleText) {
    auto q = simQueryWith("FailSql=V$SGASTAT;FailCode=1013");
    q->SetSQLText("SELECT BYTES FROM V$SGASTAT");
    EODBCError e = CatchODBC([&] {
        q->Prepare();
        q->Execute();
    });
    EXPECT_NE(e.ErrorMessage.find("ORA-01013"), std::string::npos) << e.ErrorMessage;
    EXPECT_EQ(q->StmtHandle(), nullptr);
}

TEST_F(QueryDriverTest, SimErrorStackKeepsTheOracleErrorFirstInBothCallSets) {
    for (TqoODBCVersion version : {ODBC20, ODBC30}) {
        auto q = simQueryWith("FailSql=V$SGASTAT;FailCode=1013;ErrorStack=1");
        q->SetODBCVersion(version);
        q->SetSQLText("SELECT BYTES FROM V$SGASTAT");
        EODBCError e = CatchODBC([&] {
            q->Prepare();
            q->Execute();
        });
        EXPECT_EQ(e.ErrorMessage.rfind("ORA-01013", 0), 0u) << version << ": " << e.ErrorMessage;
        EXPECT_NE(e.ErrorMessage.find(" & ORA-06512: at line 1"), std::string::npos) << e.ErrorMessage;
        EXPECT_EQ(e.NativeError, 1013);
    }
}

TEST_F(QueryDriverTest, SimOutputParameterIsRefusedByTheDriver) {
    SQLINTEGER result = -1;
    SQLLEN indicator = 0;
    q_->SetSQLText("SELECT 1 FROM DUAL WHERE 1 = ?");
    q_->Prepare();
    q_->BindOutParam(1, SQL_C_SLONG, &indicator, &result, SQL_INTEGER);
    EODBCError e = CatchODBC([&] { q_->Execute(); });
    EXPECT_EQ(e.SQLState, "S1C00");  // HYC00, in the ODBC 2 states of the ODBC 2 call set
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(q_->Fetch());
}
