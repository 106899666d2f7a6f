// The shared driver tests against the simulated Oracle instance (DSN
// KELV_ORA10 of the test odbc.ini), plus the dictionary query the programs use.
#include "DriverFixture.h"

#include <unistd.h>

const DriverProfile& CurrentProfile() {
    static DriverProfile profile = [] {
        DriverProfile p;
        p.dsn = "KELV_ORA10";
        p.user = "system";
        p.password = "manager";
        p.ddl = false;
        const char* driver = getenv("KELV_SIM_DRIVER");
        if (!driver || access(driver, R_OK) != 0) p.unavailable = "simulated Oracle driver not built";
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
