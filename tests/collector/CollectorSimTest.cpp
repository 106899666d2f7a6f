// The sampling units and the scheduler through the real query component
// against the simulated instance.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "KelvsMU.h"
#include "KelvsOR.h"
#include "KvCom.h"
#include "KvgOdbcDb.h"
#include "KvgScheduler.h"
#include "SimEngine.h"

namespace fs = std::filesystem;

namespace {

class TFixedHost : public ISysInfo {
public:
    bool PlatformIsNT() override { return true; }
    double GetMemUse() override { return 100 * 1024.0; }
    int GetCPUUse() override { return 1; }
    double TotalPhysicalMemory() override { return 1024.0 * 1024 * 1024; }
};

int64_t MinuteNow() { return std::chrono::duration_cast<std::chrono::minutes>(sim::Now().time_since_epoch()).count(); }

class CollectorSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        driver_ = std::getenv("KELV_SIM_DRIVER") ? std::getenv("KELV_SIM_DRIVER") : "";
        if (driver_.empty() || !fs::exists(driver_)) GTEST_SKIP() << "no simulated instance driver";
        char tmpl[] = "/tmp/kelvg-sim-XXXXXX";
        root_ = mkdtemp(tmpl);
        fs::create_directories(root_ / "KLVDAT");
        SetErrLogDir(root_.string());
        config_.DataSource = "collector-sim";
        config_.Database = (root_ / "ora10.db").string();
        config_.Keys["DATABASE"] = config_.Database;
        config_.Keys["VERSION"] = "10";
    }
    void TearDown() override
    {
        SetErrLogDir("");
        if (!root_.empty()) fs::remove_all(root_);
    }
    void Connect(const std::string& extraKeys = "")
    {
        qry_.SetDriverConnect(true);
        qry_.SetConnectInfo("DRIVER=" + driver_ + ";DATABASE=" + config_.Database +
                            ";VERSION=10" + extraKeys);
        qry_.SetUserID("system");
        qry_.SetPassword("manager");
        qry_.Connect();
        ASSERT_TRUE(qry_.Connected());
    }
    std::vector<std::string> ErrLog() const
    {
        std::vector<std::string> lines;
        for (const auto& e : fs::directory_iterator(root_)) {
            if (e.path().filename().string().rfind("KVErr", 0) != 0) continue;
            std::ifstream in(e.path());
            std::string l;
            while (std::getline(in, l)) lines.push_back(l);
        }
        return lines;
    }

    std::string driver_;
    fs::path root_;
    sim::SimConfig config_;
    TQueryODBC qry_{"qryODBC"};
};

}  // namespace

TEST_F(CollectorSimTest, HourReadingMatchesTheInstanceCounters)
{
    Connect();
    TOdbcCollectorDb db(qry_);
    TStatFiles files((root_ / "KLVDAT").string());
    TMemoryUsageUnit mu(db, files);
    TMURecord r;
    TLatchTable latches;
    int64_t minute = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {  // the reading must fall within one minute
        minute = MinuteNow();
        r = TMURecord();
        mu.ReadMU_Hour(r, latches);
        if (MinuteNow() == minute) break;
    }
    const auto t = std::chrono::system_clock::time_point(std::chrono::minutes(minute) + std::chrono::seconds(30));
    EXPECT_EQ(r.ValidItems, 0x1FFFu) << "every item, and a number for each latch of the line";
    EXPECT_EQ(r.SqlAreaPins, sim::CounterAt(config_, "V$LIBRARYCACHE", "SQL AREA", t, "PINS"));
    EXPECT_EQ(r.LibCachePins, sim::CounterSumAt(config_, "V$LIBRARYCACHE", "PINS", t));
    EXPECT_EQ(r.DictGetMisses, sim::CounterSumAt(config_, "V$ROWCACHE", "GETMISSES", t));
    EXPECT_EQ(r.LogicalReads, sim::CounterAt(config_, "V$SYSSTAT", "db block gets", t) +
                                  sim::CounterAt(config_, "V$SYSSTAT", "consistent gets", t));
    EXPECT_EQ(r.SortsDisk, sim::CounterAt(config_, "V$SYSSTAT", "sorts (disk)", t));
    EXPECT_EQ(r.SortAreaSize, std::stod(sim::ParameterValue(config_, "sort_area_size")));
    EXPECT_EQ(r.LibraryCache.Gets, sim::CounterAt(config_, "V$LATCH", "library cache", t, "GETS") +
                                       sim::CounterAt(config_, "V$LATCH", "library cache", t, "IMMEDIATE_GETS"));
    const auto names = sim::LatchNamesOf(config_);
    ASSERT_EQ(latches.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(latches[i].Name, names[i]);
    EXPECT_TRUE(ErrLog().empty());
}

TEST_F(CollectorSimTest, LoginsAndSamplesComeFromTheInstance)
{
    Connect();
    TOdbcCollectorDb db(qry_);
    TStatFiles files((root_ / "KLVDAT").string());
    TFixedHost host;
    TOperatingRateUnit orUnit(db, files, host);
    orUnit.ResetOR();
    TORRecord r;
    orUnit.ReadOR_Hour(r);
    const long machines = sim::LoginMachinesAt(config_, sim::Now());
    EXPECT_TRUE(r.Logins == machines || r.Logins == machines + 1) << r.Logins << " vs " << machines;
    EXPECT_EQ(r.InstalledMemory, 1024);

    TMemoryUsageUnit mu(db, files);
    mu.ResetMU();
    mu.SampleMU_SP();
    mu.SampleMU_LB();
    EXPECT_EQ(mu.MUPrev().SharedPoolSize, std::stod(sim::ParameterValue(config_, "shared_pool_size")));
    EXPECT_GT(mu.MUPrev().SharedPoolUsedMax, 0);
    EXPECT_GT(mu.MUPrev().LogBufferMax, 0);
    EXPECT_TRUE(ErrLog().empty());
}

TEST_F(CollectorSimTest, DroppedConnectionIsNoticedAndRecovered)
{
    // The instance drops every session after this many statements.
    Connect(";DROPAFTER=25");
    TOdbcCollectorDb db(qry_);
    TStatFiles files((root_ / "KLVDAT").string());
    TFixedHost host;
    TMemoryUsageUnit mu(db, files);
    TOperatingRateUnit orUnit(db, files, host);
    TManualClock clock(MakeLocalTime(2000, 10, 15, 10, 20, 0));
    TCollectorScheduler sched(clock, db, mu, orUnit, files);
    sched.Settings = NormalizeSettings({});
    sched.Settings.Interval.fill(3600);
    mu.ResetMU();
    orUnit.ResetOR();
    sched.Init();

    sched.Tick();  // baseline: 10 statements
    clock.Set(MakeLocalTime(2000, 10, 15, 11, 0, 1));
    sched.Tick();  // hour 10 written: 20 statements
    clock.Set(MakeLocalTime(2000, 10, 15, 12, 0, 1));
    sched.Tick();  // the connection drops during this hour step
    EXPECT_TRUE(db.ConnectionLost());
    clock.Advance(8);
    sched.Tick();  // reconnects and closes hour 11, eight seconds late
    EXPECT_FALSE(db.ConnectionLost());
    clock.Set(MakeLocalTime(2000, 10, 15, 13, 0, 1));
    sched.Tick();

    std::ifstream in(root_ / "KLVDAT" / "MU20001015.dat");
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 3u) << "no hour lost to the dropped connection";
    EXPECT_EQ(lines[0].substr(0, 2), "10");
    EXPECT_EQ(lines[1].substr(0, 2), "11");
    EXPECT_EQ(lines[2].substr(0, 2), "12");
    int losses = 0;
    for (const auto& l : ErrLog()) losses += l.find("(Connection)>> connection to the database lost") != std::string::npos;
    EXPECT_EQ(losses, 1);
}
