// Fault injection, from the configuration and at run time.
#include "SimTestSupport.h"

using namespace simtest;

namespace {

class Faults : public InstanceFixture {};

int ConnectError(const sim::SimConfig& config, std::string* state = nullptr) {
    try {
        sim::Connect(config, "system", "manager");
    } catch (const sim::SimError& e) {
        if (state) *state = e.SqlState;
        return e.NativeError;
    }
    return 0;
}

TEST_F(Faults, RefusedConnection) {
    std::string state;
    EXPECT_EQ(ConnectError(Config(10, {{"FailConnect", "1"}}), &state), 12541);  // keys in any case
    EXPECT_EQ(state, "08001");
    // At run time, from another program: stored in the instance file.
    auto config = Config(10);
    auto admin = sim::Connect(config, "system", "manager");
    EXPECT_EQ(ErrorOf(*admin, "ALTER SYSTEM SET SIM_FAILCONNECT = 1"), 0);
    EXPECT_EQ(ConnectError(config), 12541);
    EXPECT_EQ(ErrorOf(*admin, "ALTER SYSTEM SET SIM_FAILCONNECT = ''"), 0);
    EXPECT_EQ(ConnectError(config), 0);
}

TEST_F(Faults, LostConnectionAfterSomeStatements) {
    auto s = sim::Connect(Config(10, {{"DROPAFTER", "2"}}), "system", "manager");
    EXPECT_EQ(ErrorOf(*s, "SELECT 1 FROM DUAL"), 0);
    auto cursor = s->Execute("SELECT NAME FROM V$LATCH", {});
    try {
        s->Execute("SELECT 1 FROM DUAL", {});
        ADD_FAILURE();
    } catch (const sim::SimError& e) {
        EXPECT_EQ(e.SqlState, "08S01");
        EXPECT_EQ(e.NativeError, 3113);
        EXPECT_STREQ(e.what(), "ORA-03113: end-of-file on communication channel");
    }
    EXPECT_EQ(ErrorOf(*s, "SELECT 1 FROM DUAL"), 3113);
    EXPECT_THROW(cursor->Next(), sim::SimError);
    EXPECT_THROW(s->Commit(), sim::SimError);
    EXPECT_THROW(s->Describe("SELECT 1 FROM DUAL"), sim::SimError);
}

TEST_F(Faults, FailingStatementBySubstring) {
    auto config = Config(8, {{"FAILSQL", "v$latch"}, {"FAILCODE", "4031"}});
    auto s = sim::Connect(config, "system", "manager");
    try {
        s->Execute(" SELECT NAME FROM V$LATCH ORDER BY NAME ", {});
        ADD_FAILURE();
    } catch (const sim::SimError& e) {
        EXPECT_EQ(e.NativeError, 4031);
        EXPECT_EQ(std::string(e.what()).rfind("ORA-04031: ", 0), 0u);
    }
    EXPECT_EQ(ErrorOf(*s, "SELECT 1 FROM DUAL"), 0);
    // Set at run time by another session, with a message of its own.
    auto other = sim::Connect(Config(8), "system", "manager");
    Query(*other, "ALTER SYSTEM SET SIM_FAILSQL = 'DUAL'");
    Query(*other, "ALTER SYSTEM SET SIM_FAILCODE = 1555");
    Query(*other, "ALTER SYSTEM SET SIM_FAILMESSAGE = 'snapshot too old'");
    try {
        s->Execute("SELECT 1 FROM DUAL", {});
        ADD_FAILURE();
    } catch (const sim::SimError& e) {
        EXPECT_STREQ(e.what(), "ORA-01555: snapshot too old");
    }
    // The control statements themselves are never hit.
    EXPECT_EQ(ErrorOf(*other, "ALTER SYSTEM SET SIM_FAILSQL = ''"), 0);
    EXPECT_EQ(ErrorOf(*s, "SELECT 1 FROM DUAL"), 0);
    EXPECT_EQ(ErrorOf(*other, "ALTER SYSTEM SET SIM_NOSUCHKEY = 1"), 2065);
}

TEST_F(Faults, FetchSucceedsWithInformation) {
    auto plain = sim::Connect(Config(10), "system", "manager");
    EXPECT_FALSE(plain->Execute("SELECT 1 FROM DUAL", {})->FetchWarning());
    auto s = sim::Connect(Config(10, {{"FETCHINFO", "1"}}), "system", "manager");
    auto cursor = s->Execute("SELECT 1 FROM DUAL", {});
    auto warning = cursor->FetchWarning();
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->SqlState, "01000");
    EXPECT_TRUE(cursor->Next());
    EXPECT_EQ(cursor->Value(0), std::optional<std::string>("1"));
}

TEST_F(Faults, SlowStatementsStillAnswer) {
    auto s = sim::Connect(Config(10, {{"SLOWMS", "30"}, {"SLOWSQL", "DUAL"}}), "system", "manager");
    EXPECT_EQ(Query(*s, "SELECT 1 FROM DUAL").At(0, "1"), "1");
}

}  // namespace
