// What real instances of 9i and 19c show and older ones hide: banners,
// a 'free memory' row per pool, automatic memory, locally managed
// tablespaces, sessions that stay listed as KILLED, the rarer log states.
#include "SimTestSupport.h"

#include "Instance.h"
#include "SimKnobs.h"

#include <map>
#include <set>

using namespace simtest;

namespace {

class Families : public InstanceFixture {};

const char* const kBanner9 = "Oracle9i Enterprise Edition Release 9.2.0.1.0 - Production";
const char* const kBanner19 = "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production";
constexpr int64_t kPool19 = 320LL * 1024 * 1024;
constexpr int64_t kPool9 = 64LL * 1024 * 1024;

std::vector<std::string> Column(const Result& r, const std::string& name) {
    std::vector<std::string> out;
    for (size_t i = 0; i < r.Rows.size(); ++i) out.push_back(r.At(i, name));
    return out;
}

TEST_F(Families, VersionsMapOntoTheirFamilyWithItsBanner) {
    auto nine = ConnectDba(Config(9));
    EXPECT_EQ(nine->Banner(), kBanner9);
    EXPECT_EQ(Query(*nine, "SELECT VERSION FROM V$INSTANCE").At(0, "VERSION"), "9.2.0.1.0");
    EXPECT_EQ(Query(*nine, "SELECT BANNER FROM V$VERSION").Rows.size(), 5u);
    auto nineteen = ConnectDba(Config(19));
    EXPECT_EQ(nineteen->Banner(), kBanner19);
    EXPECT_EQ(Column(Query(*nineteen, "SELECT BANNER FROM V$VERSION"), "BANNER"), std::vector<std::string>{kBanner19});
    EXPECT_EQ(Query(*nineteen, "SELECT VERSION FROM V$INSTANCE").At(0, "VERSION"), "19.0.0.0.0");
    // Releases between the families take the nearest older one; later ones are 19.
    sim::SimConfig c;
    for (auto [given, family] : std::vector<std::pair<int, int>>{{6, 7}, {8, 8}, {9, 9}, {10, 10}, {12, 10},
                                                                  {18, 10}, {19, 19}, {23, 19}}) {
        c.Keys["VERSION"] = std::to_string(given);
        EXPECT_EQ(sim::ParseKnobs(c).Version, family) << given;
    }
}

TEST_F(Families, DefaultsFollowTheFamilyAndKnobsOverrideThem) {
    auto knobs = [](int version, std::map<std::string, std::string> keys = {}) {
        sim::SimConfig c;
        c.Keys = std::move(keys);
        c.Keys["VERSION"] = std::to_string(version);
        return sim::ParseKnobs(c);
    };
    for (int old : {7, 8, 10}) {
        const sim::SimKnobs k = knobs(old);
        EXPECT_FALSE(k.SgaPools || k.AutoMemory || k.RefuseOwnKill || k.LogStatuses) << old;
        EXPECT_EQ(k.Extents, sim::ExtentManagement::Dictionary) << old;
        EXPECT_EQ(k.KilledMinutes, 0) << old;
    }
    const sim::SimKnobs nine = knobs(9);
    EXPECT_TRUE(nine.SgaPools && nine.RefuseOwnKill && !nine.AutoMemory);
    EXPECT_EQ(nine.Extents, sim::ExtentManagement::LocalExceptSystem);
    EXPECT_EQ(nine.SharedPoolSize, kPool9);
    const sim::SimKnobs nineteen = knobs(19);
    EXPECT_TRUE(nineteen.SgaPools && nineteen.AutoMemory && nineteen.RefuseOwnKill);
    EXPECT_EQ(nineteen.Extents, sim::ExtentManagement::Local);
    EXPECT_EQ(nineteen.SharedPoolSize, kPool19);
    EXPECT_GT(nineteen.KilledMinutes, 0);
    // A knob works on older families where the release had the feature...
    EXPECT_TRUE(knobs(8, {{"POOLS", "1"}}).SgaPools);
    EXPECT_TRUE(knobs(10, {{"AutoMemory", "yes"}}).AutoMemory);
    EXPECT_EQ(knobs(10, {{"LOCALLYMANAGED", "all"}}).Extents, sim::ExtentManagement::Local);
    EXPECT_FALSE(knobs(19, {{"POOLS", "0"}}).SgaPools);
    EXPECT_EQ(knobs(19, {{"KILLEDMINUTES", "0"}}).KilledMinutes, 0);
    // ...and is ignored where it had not: no POOL column in 7, no automatic memory in 9.
    EXPECT_FALSE(knobs(7, {{"POOLS", "1"}}).SgaPools);
    EXPECT_FALSE(knobs(9, {{"AUTOMEMORY", "1"}}).AutoMemory);
}

TEST_F(Families, EveryPoolHasItsOwnFreeMemoryAndTheSharedPoolsIsNotFirst) {
    auto s = ConnectDba(Config(19));
    const Result free = Query(*s, "SELECT POOL, BYTES FROM V$SGASTAT WHERE NAME = 'free memory'");
    EXPECT_EQ(Column(free, "POOL"),
              (std::vector<std::string>{"large pool", "java pool", "streams pool", "shared pool"}));
    const Result unfiltered = Query(*s, " SELECT V$SGASTAT.BYTES AS FREE, V$PARAMETER.VALUE AS SHDP FROM V$SGASTAT, "
                                        "V$PARAMETER WHERE V$SGASTAT.NAME = 'free memory' AND "
                                        "V$PARAMETER.NAME = 'shared_pool_size' ");
    EXPECT_EQ(unfiltered.At(0, "FREE"), free.At(0, "BYTES")) << "a join without a pool filter meets another pool first";
    const double shared = Number(free.At(3, "BYTES"));
    EXPECT_GT(shared, kPool19 * 0.05);
    EXPECT_LT(shared, kPool19 * 0.85);
    EXPECT_EQ(Query(*ConnectDba(Config(9)), "SELECT COUNT(*) FROM V$SGASTAT WHERE NAME = 'free memory'").At(0, "COUNT(*)"),
              "3") << "no streams pool before 10g";
    for (int old : {8, 10})
        EXPECT_EQ(Query(*ConnectDba(Config(old)), "SELECT POOL FROM V$SGASTAT WHERE NAME = 'free memory'").Rows.size(), 1u);
}

TEST_F(Families, AutomaticMemoryShowsZeroForTheParameterAndTheSizeInTheDynamicComponents) {
    const sim::SimConfig config = Config(19);
    auto s = ConnectDba(config);
    EXPECT_EQ(sim::ParameterValue(config, "shared_pool_size"), "0");
    EXPECT_NE(sim::ParameterValue(config, "sga_target"), "0");
    const Result pool = Query(*s, " SELECT CURRENT_SIZE, USER_SPECIFIED_SIZE, GRANULE_SIZE FROM "
                                  "V$SGA_DYNAMIC_COMPONENTS WHERE COMPONENT = 'shared pool' ");
    ASSERT_EQ(pool.Rows.size(), 1u);
    EXPECT_EQ(pool.At(0, "CURRENT_SIZE"), std::to_string(kPool19));
    EXPECT_EQ(pool.At(0, "USER_SPECIFIED_SIZE"), "0");
    EXPECT_EQ(static_cast<int64_t>(Number(pool.At(0, "CURRENT_SIZE"))) % static_cast<int64_t>(Number(pool.At(0, "GRANULE_SIZE"))), 0);
    EXPECT_EQ(sim::CounterAt(config, "V$SGA_DYNAMIC_COMPONENTS", "shared pool", std::chrono::system_clock::now()), kPool19);
    // 9i has the view with sizes set by hand; 8i has neither.
    const sim::SimConfig nine = Config(9);
    EXPECT_EQ(sim::ParameterValue(nine, "shared_pool_size"), std::to_string(kPool9));
    EXPECT_EQ(sim::CounterAt(nine, "V$SGA_DYNAMIC_COMPONENTS", "shared pool", std::chrono::system_clock::now(),
                             "USER_SPECIFIED_SIZE"),
              kPool9);
    EXPECT_EQ(ErrorOf(*ConnectDba(Config(8)), "SELECT * FROM V$SGA_DYNAMIC_COMPONENTS"), 942);
    // Automatic memory on a 10g instance, by knob.
    const sim::SimConfig ten = Config(10, {{"AUTOMEMORY", "1"}});
    EXPECT_EQ(sim::ParameterValue(ten, "shared_pool_size"), "0");
    EXPECT_EQ(sim::ParameterValue(Config(10), "sga_target"), "") << "today's 10g instance is unchanged";
}

// Free extents per tablespace: count, sum, largest, smallest.
std::map<std::string, std::string> FreeByTablespace(sim::SimSession& s, const std::string& source) {
    std::map<std::string, std::string> out;
    const Result r = Query(s, "SELECT TABLESPACE_NAME T, COUNT(*) N, SUM(BLOCKS) S, MAX(BLOCKS) X, MIN(BLOCKS) M FROM " +
                                  source + " GROUP BY TABLESPACE_NAME");
    for (size_t i = 0; i < r.Rows.size(); ++i)
        out[r.At(i, "T")] = r.At(i, "N") + "/" + r.At(i, "S") + "/" + r.At(i, "X") + "/" + r.At(i, "M");
    return out;
}

TEST_F(Families, LocallyManagedTablespacesKeepTheirFreeExtentsOutOfFet) {
    auto dictionary = ConnectDba(Config(10));
    const auto expected = FreeByTablespace(
        *dictionary, "(SELECT T.NAME TABLESPACE_NAME, F.LENGTH BLOCKS FROM FET$ F, TS$ T WHERE F.TS# = T.TS#)");
    ASSERT_GE(expected.size(), 5u);
    EXPECT_EQ(expected.count("TOOLS"), 0u) << "the full tablespace has no free extent";

    auto local = ConnectDba(Config(19));
    EXPECT_EQ(Query(*local, "SELECT COUNT(*) FROM FET$").At(0, "COUNT(*)"), "0");
    EXPECT_EQ(FreeByTablespace(*local, "DBA_FREE_SPACE"), expected) << "the same free extents, kept in bitmaps";
    EXPECT_EQ(Query(*local, "SELECT COUNT(*) FROM DBA_TABLESPACES WHERE EXTENT_MANAGEMENT <> 'LOCAL'").At(0, "COUNT(*)"),
              "0");

    auto mixed = ConnectDba(Config(9));
    const Result fet = Query(*mixed, "SELECT DISTINCT T.NAME FROM FET$ F, TS$ T WHERE F.TS# = T.TS#");
    EXPECT_EQ(Column(fet, "NAME"), std::vector<std::string>{"SYSTEM"});
    EXPECT_EQ(FreeByTablespace(*mixed, "DBA_FREE_SPACE"), expected);
    EXPECT_EQ(Query(*mixed, "SELECT EXTENT_MANAGEMENT FROM DBA_TABLESPACES WHERE TABLESPACE_NAME = 'SYSTEM'")
                  .At(0, "EXTENT_MANAGEMENT"),
              "DICTIONARY");
    EXPECT_EQ(Query(*mixed, "SELECT BITMAPPED FROM TS$ WHERE NAME = 'USERS'").At(0, "BITMAPPED"), "8");
}

TEST_F(Families, IncrementByIsInBlocks) {
    auto s = ConnectDba(Config(19));
    const Result r = Query(*s, "SELECT INCREMENT_BY, BLOCKS, BYTES FROM DBA_DATA_FILES WHERE AUTOEXTENSIBLE = 'YES' "
                               "ORDER BY FILE_ID");
    ASSERT_FALSE(r.Rows.empty());
    EXPECT_EQ(r.At(0, "INCREMENT_BY"), "1280");
    EXPECT_EQ(Number(r.At(0, "BYTES")), Number(r.At(0, "BLOCKS")) * 8192);
}

TEST_F(Families, UnusedClearingAndClearingCurrentLogsByKnob) {
    auto plain = ConnectDba(Config(19));
    EXPECT_EQ(Query(*plain, "SELECT COUNT(*) FROM V$LOG").At(0, "COUNT(*)"), "3");
    auto s = ConnectDba(Config(19, {{"LOGSTATUSES", "1"}}));
    const Result log = Query(*s, "SELECT GROUP#, THREAD#, STATUS, ARCHIVED FROM V$LOG ORDER BY GROUP#");
    ASSERT_EQ(log.Rows.size(), 6u);
    std::multiset<std::string> statuses;
    for (size_t i = 0; i < log.Rows.size(); ++i) statuses.insert(log.At(i, "STATUS"));
    EXPECT_EQ(statuses.count("CURRENT"), 1u);
    EXPECT_EQ(log.At(3, "STATUS"), "UNUSED");
    EXPECT_EQ(log.At(4, "STATUS"), "CLEARING");
    EXPECT_EQ(log.At(5, "STATUS"), "CLEARING_CURRENT");
    EXPECT_EQ(log.At(5, "THREAD#"), "2");
    EXPECT_EQ(Query(*s, "SELECT COUNT(*) FROM V$LOGFILE WHERE GROUP# = 6").At(0, "COUNT(*)"), "2");
}

class KilledSessions : public InstanceFixture {
protected:
    // A workload session listed at the instance's current minute: SID, SERIAL#.
    static std::pair<std::string, std::string> AWorkloadSession(sim::SimSession& s) {
        const Result r = Query(s, "SELECT SID, SERIAL# FROM V$SESSION WHERE TYPE = 'USER' AND SID < 200 ORDER BY SID");
        if (r.Rows.empty()) return {};
        return {r.At(0, "SID"), r.At(0, "SERIAL#")};
    }
    static std::string Kill(const std::string& sid, const std::string& serial) {
        return " ALTER SYSTEM KILL SESSION '" + sid + "," + serial + "' ";
    }
};

TEST_F(KilledSessions, AKilledSessionStaysListedAsKilledAndASecondKillIsMarkedForKill) {
    auto dba = ConnectDba(Config(19));
    auto [sid, serial] = AWorkloadSession(*dba);
    ASSERT_FALSE(sid.empty());
    EXPECT_EQ(ErrorOf(*dba, Kill(sid, serial)), 0);
    const Result after = Query(*dba, "SELECT STATUS, SERVER FROM V$SESSION WHERE SID = ?", {sid});
    ASSERT_EQ(after.Rows.size(), 1u);
    EXPECT_EQ(after.At(0, "STATUS"), "KILLED");
    EXPECT_EQ(after.At(0, "SERVER"), "PSEUDO");
    EXPECT_EQ(ErrorOf(*dba, Kill(sid, serial)), 31);

    auto victim = sim::Connect(Config(19), "scott", "tiger");
    const std::string victimId = std::to_string(victim->Sid());
    EXPECT_EQ(ErrorOf(*dba, Kill(victimId, std::to_string(victim->Serial()))), 0);
    EXPECT_EQ(Query(*dba, "SELECT STATUS FROM V$SESSION WHERE SID = ?", {victimId}).At(0, "STATUS"), "KILLED");
    EXPECT_EQ(ErrorOf(*victim, "SELECT 1 FROM DUAL"), 28);
}

TEST_F(KilledSessions, WithoutTheKnobAKilledSessionVanishesAtOnce) {
    auto dba = ConnectDba(Config(19, {{"KILLEDMINUTES", "0"}}));
    auto [sid, serial] = AWorkloadSession(*dba);
    ASSERT_FALSE(sid.empty());
    EXPECT_EQ(ErrorOf(*dba, Kill(sid, serial)), 0);
    EXPECT_TRUE(Query(*dba, "SELECT STATUS FROM V$SESSION WHERE SID = ?", {sid}).Rows.empty());
    EXPECT_EQ(ErrorOf(*dba, Kill(sid, serial)), 30);
}

TEST_F(KilledSessions, TheListingEndsAfterTheKilledMinutes) {
    const sim::SimConfig config = Config(19, {{"KILLEDMINUTES", "10"}});
    sim::Instance instance(config);
    const int64_t t0 = instance.StartUnix() + 3600;
    auto statusAt = [&](int64_t t, int64_t sid) {
        instance.SetClockOverride(t);
        instance.Refresh();
        sim::SqliteStmt q(instance.Db().Get(), "SELECT STATUS FROM \"V$SESSION\" WHERE SID = ?");
        q.Bind(1, sid);
        return q.Step() ? q.Text(0) : std::string("gone");
    };
    // The first workload session stays logged on all day with one serial.
    const int64_t sid = 20;
    ASSERT_NE(statusAt(t0, sid), "gone");
    int64_t serial = 0;
    {
        sim::SqliteStmt q(instance.Db().Get(), "SELECT \"SERIAL#\" FROM \"V$SESSION\" WHERE SID = ?");
        q.Bind(1, sid);
        ASSERT_TRUE(q.Step());
        serial = q.Int(0);
    }
    EXPECT_EQ(instance.KillSession(sid, serial, {}), sim::Instance::KillResult::Killed);
    EXPECT_EQ(statusAt(t0 + 9 * 60 + 59, sid), "KILLED");
    EXPECT_EQ(statusAt(t0 + 10 * 60, sid), "gone");
}

TEST_F(KilledSessions, KillingOnesOwnSessionIsRefusedFrom9iOn) {
    auto own = ConnectDba(Config(9));
    const std::string id = Kill(std::to_string(own->Sid()), std::to_string(own->Serial()));
    EXPECT_EQ(ErrorOf(*own, id), 27);
    EXPECT_EQ(ErrorOf(*own, "SELECT 1 FROM DUAL"), 0) << "the session lives on";
    // Today's 10g data sources kill it, as before.
    auto old = ConnectDba(Config(10));
    EXPECT_EQ(ErrorOf(*old, Kill(std::to_string(old->Sid()), std::to_string(old->Serial()))), 0);
    EXPECT_EQ(ErrorOf(*old, "SELECT 1 FROM DUAL"), 28);
}

}  // namespace
