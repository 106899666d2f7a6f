// The shared driver tests against PostgreSQL ODBC. The server is started by
// the test fixture "pg_server" (pg_fixture.sh); its socket directory is read
// from the state file named by KELV_PG_STATE.
#include "DriverFixture.h"
#include "TempOdbcIni.h"

#include <fstream>
#include <memory>

namespace {

constexpr const char* kPostgresDriver = "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";

std::unique_ptr<TempOdbcIni> pgIni;
std::string pgUnavailable;

std::string socketDir() {
    const char* state = getenv("KELV_PG_STATE");
    if (!state) return std::string();
    std::string dir;
    std::ifstream(state) >> dir;
    return dir;
}

class PostgresEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string dir = socketDir();
        if (dir.empty()) {
            pgUnavailable = "no PostgreSQL test server (KELV_PG_STATE)";
            return;
        }
        pgIni = std::make_unique<TempOdbcIni>(std::string("[QTEST_PG]\nDriver = ") + kPostgresDriver +
                                              "\nServername = " + dir +
                                              "\nPort = 5432\nDatabase = testdb\nUsername = postgres\n"
                                              "ConnSettings = set lc_messages='C'\n");
    }
    void TearDown() override { pgIni.reset(); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new PostgresEnvironment);

}  // namespace

const DriverProfile& CurrentProfile() {
    static DriverProfile profile = [] {
        DriverProfile p;
        p.dsn = "QTEST_PG";
        p.user = "postgres";
        p.unavailable = pgUnavailable;
        p.sessionIdSql = "SELECT pg_backend_pid()";
        p.killSessionSql = "SELECT pg_terminate_backend(CAST(? AS INTEGER))";
        p.longBinaryType = "BYTEA";
        p.outputCallSql = "{? = call length(?)}";
        return p;
    }();
    return profile;
}
