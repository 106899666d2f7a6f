// A watched instance and whole scrapes against simulated instances, in
// process: the kept connection, the pause between attempts, a failing group,
// and a scrape that a hung instance does not hold up.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "KvxFamilies.h"
#include "KvxInstance.h"
#include "KvxScrape.h"
#include "SimEngine.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class ExporterSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* driver = std::getenv("KELV_SIM_DRIVER");
        if (!driver || !fs::exists(driver)) GTEST_SKIP() << "no simulated instance driver";
        driver_ = driver;
        char tmpl[] = "/tmp/kelvx-sim-XXXXXX";
        root_ = mkdtemp(tmpl);
    }
    void TearDown() override
    {
        if (!root_.empty()) fs::remove_all(root_);
    }

    sim::SimConfig Sim(const std::string& name, int version) const
    {
        sim::SimConfig c;
        c.DataSource = name;
        c.Database = (root_ / (name + ".db")).string();
        c.Keys["DATABASE"] = c.Database;
        c.Keys["VERSION"] = std::to_string(version);
        return c;
    }
    TInstanceConfig Watched(const sim::SimConfig& sim) const
    {
        TInstanceConfig c;
        c.Name = sim.DataSource;
        c.ConnectionString = "DRIVER=" + driver_ + ";DATABASE=" + sim.Database + ";VERSION=" + sim.Keys.at("VERSION");
        c.User = "system";
        return c;
    }
    // A session for the fault keys, opened while the instance still takes logons.
    static std::unique_ptr<sim::SimSession> Control(const sim::SimConfig& sim)
    {
        return sim::Connect(sim, "system", "manager");
    }
    // A fault key for every session of the instance ("" clears it).
    static void SetFault(sim::SimSession& control, const std::string& key, const std::string& value)
    {
        control.Execute("ALTER SYSTEM SET SIM_" + key + " = '" + value + "'", {});
    }

    std::string driver_;
    fs::path root_;
};

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST_F(ExporterSimTest, EveryGroupReadOnVersions10And8)
{
    for (int version : {10, 8}) {
        TWatchedInstance instance(Watched(Sim("v" + std::to_string(version), version)), "manager", 10s);
        const TInstanceReading r = instance.Collect();
        ASSERT_TRUE(r.Up) << r.Error;
        EXPECT_EQ(r.OracleVersion, version);
        for (int g = 0; g < grpCount; ++g)
            EXPECT_TRUE(r.GroupOk[g]) << version << " " << GroupName(static_cast<TFigureGroup>(g));
        EXPECT_FALSE(r.Latches.empty());
        EXPECT_FALSE(r.Tablespaces.empty());
        EXPECT_GT(r.SharedPoolFreeBytes, 0);
        EXPECT_LT(r.SharedPoolFreeBytes, r.SharedPoolSizeBytes);
    }
}

TEST_F(ExporterSimTest, LostConnectionIsMadeAgainAfterDoublingPauses)
{
    const sim::SimConfig sim = Sim("flaky", 10);
    TWatchedInstance instance(Watched(sim), "manager", 10s);
    ASSERT_TRUE(instance.Collect().Up);

    auto control = Control(sim);
    SetFault(*control, "DROPAFTER", "1");
    SetFault(*control, "FAILCONNECT", "1");
    TInstanceReading r = instance.Collect();
    EXPECT_FALSE(r.Up);
    EXPECT_TRUE(Holds(r.Error, "connection lost")) << r.Error;
    EXPECT_TRUE(Holds(r.Error, "end-of-file on communication channel")) << r.Error;
    EXPECT_TRUE(r.Hourly.ValidItems == 0 && r.Latches.empty()) << "figures of a broken connection were kept";

    r = instance.Collect();  // too early for the next attempt
    EXPECT_TRUE(Holds(r.Error, "next attempt in 1 s")) << r.Error;

    std::this_thread::sleep_for(1100ms);
    r = instance.Collect();  // the attempt is refused
    EXPECT_TRUE(Holds(r.Error, "TNS:no listener")) << r.Error;
    r = instance.Collect();
    EXPECT_TRUE(Holds(r.Error, "next attempt in 2 s")) << r.Error;

    SetFault(*control, "DROPAFTER", "");
    SetFault(*control, "FAILCONNECT", "");
    std::this_thread::sleep_for(2100ms);
    r = instance.Collect();
    EXPECT_TRUE(r.Up) << r.Error;
    // Back to the first pause after a good collection.
    SetFault(*control, "DROPAFTER", "1");
    EXPECT_FALSE(instance.Collect().Up);
    SetFault(*control, "DROPAFTER", "");
    EXPECT_TRUE(Holds(instance.Collect().Error, "next attempt in 1 s"));
}

TEST_F(ExporterSimTest, RefusedPasswordWaitsTheLongestPause)
{
    TWatchedInstance instance(Watched(Sim("pw", 10)), "wrong", 10s);
    TInstanceReading r = instance.Collect();
    EXPECT_FALSE(r.Up);
    EXPECT_TRUE(Holds(r.Error, "invalid username/password")) << r.Error;
    r = instance.Collect();
    EXPECT_TRUE(Holds(r.Error, "next attempt in 10 s")) << r.Error;
}

TEST_F(ExporterSimTest, AFailingGroupLeavesOutOnlyItsFigures)
{
    const sim::SimConfig sim = Sim("nofree", 10);
    TWatchedInstance instance(Watched(sim), "manager", 10s);
    ASSERT_TRUE(instance.Collect().Up);
    auto control = Control(sim);
    SetFault(*control, "FAILCODE", "942");
    SetFault(*control, "FAILSQL", "DBA_FREE_SPACE");
    const TInstanceReading r = instance.Collect();
    ASSERT_TRUE(r.Up) << r.Error;
    EXPECT_FALSE(r.GroupOk[grpTablespaces]);
    EXPECT_TRUE(r.GroupOk[grpLatches] && r.GroupOk[grpSessions] && r.GroupOk[grpLogSwitches]);

    TInstanceOutcome outcome;
    outcome.Name = "nofree";
    outcome.Reading = r;
    bool tablespaceFamily = false, latchFamily = false;
    for (const auto& f : BuildFamilies({outcome})) {
        tablespaceFamily |= f.name == "kelv_tablespace_free_bytes";
        latchFamily |= f.name == "kelv_latch_gets_total";
    }
    EXPECT_FALSE(tablespaceFamily);
    EXPECT_TRUE(latchFamily);
}

TEST_F(ExporterSimTest, AHungInstanceNeitherDelaysNorBreaksTheOthers)
{
    const sim::SimConfig hung = Sim("hung", 10), well = Sim("well", 8);
    std::vector<std::shared_ptr<TWatchedInstance>> instances = {
        std::make_shared<TWatchedInstance>(Watched(hung), "manager", 10s),
        std::make_shared<TWatchedInstance>(Watched(well), "manager", 10s)};
    TScrapeCollectable scrape(instances, 500ms, 2);
    std::vector<TInstanceOutcome> o = scrape.CollectOutcomes();
    ASSERT_TRUE(o[0].Reading && o[0].Reading->Up && o[1].Reading && o[1].Reading->Up);

    auto control = Control(hung);
    SetFault(*control, "SLOWMS", "4000");
    o = scrape.CollectOutcomes();
    EXPECT_FALSE(o[0].Reading);
    EXPECT_TRUE(Holds(o[0].Error, "no answer within the timeout")) << o[0].Error;
    EXPECT_EQ(o[0].ErrorsTotal, 1);
    ASSERT_TRUE(o[1].Reading);
    EXPECT_TRUE(o[1].Reading->Up) << o[1].Error;

    o = scrape.CollectOutcomes();  // its worker is still in the slow statement
    EXPECT_TRUE(Holds(o[0].Error, "still busy with the collection begun")) << o[0].Error;
    EXPECT_EQ(o[0].ErrorsTotal, 2);
    ASSERT_TRUE(o[1].Reading);
    EXPECT_TRUE(o[1].Reading->Up);

    SetFault(*control, "SLOWMS", "");
    bool back = false;
    for (int i = 0; i < 60 && !back; ++i) {
        std::this_thread::sleep_for(500ms);
        o = scrape.CollectOutcomes();
        back = o[0].Reading && o[0].Reading->Up;
    }
    EXPECT_TRUE(back) << o[0].Error;
}
