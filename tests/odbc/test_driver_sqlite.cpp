// The shared driver tests against SQLite ODBC, on a database of this process.
#include "DriverFixture.h"
#include "TempOdbcIni.h"

#include <memory>

namespace {

constexpr const char* kSqliteDriver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

std::unique_ptr<TempOdbcIni> sqliteIni;

class SqliteEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        sqliteIni = std::make_unique<TempOdbcIni>(std::string("[QTEST_SQLITE]\nDriver = ") + kSqliteDriver +
                                                  "\nDatabase = @DIR@/test.db\nTimeout = 10000\n");
    }
    void TearDown() override { sqliteIni.reset(); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new SqliteEnvironment);

}  // namespace

const DriverProfile& CurrentProfile() {
    static DriverProfile profile = [] {
        DriverProfile p;
        p.dsn = "QTEST_SQLITE";
        p.decimalType = "DOUBLE";  // the driver describes DECIMAL columns as VARCHAR
        p.longBinaryType = "BLOB";
        if (access(kSqliteDriver, R_OK) != 0) p.unavailable = "SQLite ODBC driver not installed";
        return p;
    }();
    return profile;
}

// The driver refuses row-wise binding with the ODBC 2 call set: the rowset
// is then not applied, and the component's own check that follows replaces
// the driver's complaint instead of being joined to it.
TEST_F(QueryDriverTest, SqliteRefusedRowsetThenMissingStatusArray) {
    CreateStandardTable(3);
    auto q = MakeQuery(ODBC20);
    q->SetFetchScroll(true);
    q->SetRowsetSize(2);  // not executed yet: applied at the fetch, and refused there
    q->SetSQLText("SELECT id FROM " + table_);
    q->Execute();
    ASSERT_TRUE(q->FetchScroll());
    std::vector<char> record(256, 0);
    EODBCError e = CatchODBC([&] { q->FetchToRec(record.data()); });
    EXPECT_EQ(e.ErrorMessage, "QueryODBC: FetchRowStatus required.");
    EXPECT_EQ(e.ODBCFunction, "");
    EXPECT_EQ(e.SQLState, "");

    // Set while executed, the refusal is raised at once.
    q->Execute();
    EODBCError refused = CatchODBC([&] { q->SetRowsetSize(3); });
    EXPECT_EQ(refused.ODBCFunction, "SQLSetStmtOption (BIND_TYPE)");
}
