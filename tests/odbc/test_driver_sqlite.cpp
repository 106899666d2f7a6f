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
