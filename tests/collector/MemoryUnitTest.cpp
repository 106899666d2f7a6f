// The memory-usage unit against a scripted instance.
#include "CollectorFixture.h"
#include "KvgClock.h"

namespace {
const std::time_t k10h20 = MakeLocalTime(2000, 10, 15, 10, 20, 0);
const std::time_t k11h00 = MakeLocalTime(2000, 10, 15, 11, 0, 6);
const std::time_t k12h00 = MakeLocalTime(2000, 10, 15, 12, 0, 3);
}  // namespace

class MemoryUnitTest : public CollectorTest {
protected:
    TStatFiles files_{dataDir_.string()};
    TMemoryUsageUnit mu_{db_, files_};
    void SetUp() override
    {
        CollectorTest::SetUp();
        files_ = TStatFiles(dataDir_.string());
        mu_.ResetMU();
    }
};

TEST_F(MemoryUnitTest, FirstHourChangeOnlyTakesTheBaseline)
{
    mu_.HourMU(k10h20);
    EXPECT_FALSE(Exists("MU20001015.dat"));
    EXPECT_FALSE(Exists("ML20001015.dat"));
    EXPECT_EQ(mu_.MUPrev().Date, 20001015);
    EXPECT_EQ(mu_.MUPrev().Hour, 10);
}

TEST_F(MemoryUnitTest, HourLineHoldsDeltasLevelsAndSampleMaxima)
{
    mu_.HourMU(k10h20);
    mu_.SampleMU_SP();
    counters_.SpFree = 10000000;  // more in use, then the size changes
    counters_.SpSize = 60000000;
    counters_.LogBuffer = 200000;
    ApplyCounters(db_, counters_);
    mu_.SampleMU_SP();
    mu_.SampleMU_LB();
    counters_.SpFree = 59000000;  // less in use: the maximum stays
    counters_.LogBuffer = 100000;
    ApplyCounters(db_, counters_);
    mu_.SampleMU_SP();
    mu_.SampleMU_LB();
    counters_.Grow(1);
    counters_.DbBuffers = 16777216;
    ApplyCounters(db_, counters_);
    mu_.HourMU(k11h00);

    const auto lines = ReadLines("MU20001015.dat");
    ASSERT_EQ(lines.size(), 1u);
    const std::string& l = lines[0];
    ASSERT_EQ(l.size(), 568u);
    EXPECT_EQ(At(l, 1, 2), "10");
    EXPECT_EQ(NumAt(l, 3, 20), 60000000);   // latest size
    EXPECT_EQ(NumAt(l, 23, 20), 50000000);  // largest in use
    EXPECT_EQ(NumAt(l, 79, 20), 16777216);  // level at the end of the hour
    EXPECT_EQ(NumAt(l, 111, 20), 163840);
    EXPECT_EQ(NumAt(l, 131, 20), 200000);
    EXPECT_EQ(NumAt(l, 151, 20), 65536);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(NumAt(l, 189 + 20 * i, 20), i % 2 ? 10 : 1000);
    EXPECT_EQ(NumAt(l, 349, 20), 100);
    EXPECT_EQ(NumAt(l, 369, 20), 1);
    EXPECT_EQ(NumAt(l, 389, 20), 500);
    EXPECT_EQ(NumAt(l, 409, 20), 5);
    EXPECT_EQ(NumAt(l, 429, 20), 300);
    EXPECT_EQ(NumAt(l, 449, 20), 3);
    EXPECT_EQ(NumAt(l, 469, 20), 9000);
    EXPECT_EQ(NumAt(l, 489, 20), 90);
    EXPECT_EQ(NumAt(l, 509, 20), 40);
    EXPECT_EQ(NumAt(l, 529, 20), 1);
    EXPECT_EQ(NumAt(l, 549, 20), 4000);
    // The next hour starts its samples from 0.
    EXPECT_EQ(mu_.MUPrev().SharedPoolUsedMax, 0);
    EXPECT_EQ(mu_.MUPrev().LogBufferMax, 0);
}

TEST_F(MemoryUnitTest, HourWithoutSamplesAndFallenCountersWritesZeros)
{
    mu_.HourMU(k10h20);
    counters_.Grow(-0.5);  // instance restarted: every counter lower
    ApplyCounters(db_, counters_);
    mu_.HourMU(k11h00);
    const std::string l = ReadLines("MU20001015.dat").at(0);
    EXPECT_EQ(NumAt(l, 3, 20), 0);
    EXPECT_EQ(NumAt(l, 23, 20), 0);
    EXPECT_EQ(NumAt(l, 131, 20), 0);
    EXPECT_EQ(l.substr(188), std::string(380, '0'));
    // ...and the day's latch file is still written, without lines.
    ASSERT_TRUE(Exists("ML20001015.dat"));
    EXPECT_TRUE(ReadLines("ML20001015.dat").empty());
}

TEST_F(MemoryUnitTest, FailedItemIsLoggedOthersStillRunAndNoBogusDeltaFollows)
{
    mu_.HourMU(k10h20);
    db_.Fail(mu_sql::kDictionaryCache);
    counters_.Grow(1);
    ApplyCounters(db_, counters_);
    mu_.HourMU(k11h00);
    db_.Heal();
    counters_.Grow(1);
    ApplyCounters(db_, counters_);
    mu_.HourMU(k12h00);

    const auto lines = ReadLines("MU20001015.dat");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(NumAt(lines[0], 429, 20), 0);    // failed at the end of the hour
    EXPECT_EQ(NumAt(lines[0], 469, 20), 9000); // the items after it still ran
    EXPECT_EQ(NumAt(lines[1], 429, 20), 0);    // no baseline: not the whole counter
    EXPECT_EQ(NumAt(lines[1], 349, 20), 100);
    const auto log = ErrLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find(" <<MUReadMU_Hour(DC)>> ORA-00942"), std::string::npos) << log[0];
}

TEST_F(MemoryUnitTest, SortRowsAreClassifiedByName)
{
    db_.SetResult(mu_sql::kSorts, nullptr,
                  {{{"NAME", "sorts (memory)"}, {"VALUE", "5"}},
                   {{"NAME", "sorts (disk)"}, {"VALUE", "6"}},
                   {{"NAME", "sorts (rows)"}, {"VALUE", "7"}},
                   {{"NAME", "memory rows sort"}, {"VALUE", "8"}},
                   {{"NAME", "sort something"}, {"VALUE", "9"}}});
    TMURecord r;
    TLatchTable latches;
    mu_.ReadMU_Hour(r, latches);
    EXPECT_EQ(r.SortsMemory, 8);
    EXPECT_EQ(r.SortsDisk, 6);
    EXPECT_EQ(r.RowsSorted, 7);
    EXPECT_EQ(r.CacheBuffersChains.Gets, 10000);
    EXPECT_EQ(r.SharedPool.Misses, 40);
    EXPECT_EQ(latches.size(), 4u);
}

TEST_F(MemoryUnitTest, LatchGrowthAddsUpPerDayAndIgnoresNewLatches)
{
    counters_.Latches.push_back({"zz other", "5", "0"});
    ApplyCounters(db_, counters_);
    mu_.HourMU(k10h20);
    counters_.Grow(1);
    counters_.Latches.insert(counters_.Latches.begin(), {"a new latch", "99999", "9"});
    ApplyCounters(db_, counters_);
    mu_.HourMU(k11h00);
    counters_.Grow(2);
    ApplyCounters(db_, counters_);
    mu_.HourMU(k12h00);

    const auto ml = ReadLines("ML20001015.dat");
    ASSERT_EQ(ml.size(), 6u);  // the new latch counts from its second hour on
    EXPECT_EQ(At(ml[0], 1, 11), "a new latch");
    EXPECT_EQ(NumAt(ml[0], 66, 20), 2000);
    EXPECT_EQ(At(ml[1], 1, 21), "cache buffers chains ");
    EXPECT_EQ(At(ml[1], 65, 1), "=");
    EXPECT_EQ(NumAt(ml[1], 66, 20), 3000);
    EXPECT_EQ(NumAt(ml[1], 86, 20), 30);
    for (const auto& l : ml) EXPECT_EQ(l.size(), 105u);
}

TEST_F(MemoryUnitTest, FailedSamplesAreLoggedAndChangeNothing)
{
    mu_.HourMU(k10h20);
    db_.Fail(mu_sql::kSharedPool);
    const std::string lb = "LOG_BUFFER";
    db_.Fail(mu_sql::kLogBuffer, &lb);
    mu_.SampleMU_SP();
    mu_.SampleMU_LB();
    EXPECT_EQ(mu_.MUPrev().SharedPoolSize, 0);
    const auto log = ErrLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("<<MUReadMU_SP(SP)>> "), std::string::npos);
    EXPECT_NE(log[1].find("<<MUReadMU_LB(LB)>> "), std::string::npos);
}

TEST_F(MemoryUnitTest, ConnectionLostDuringTheHourStepWritesNothing)
{
    mu_.HourMU(k10h20);
    db_.Down = true;
    mu_.HourMU(k11h00);
    EXPECT_FALSE(Exists("MU20001015.dat"));
    // The hour in progress is kept for the scheduler to close after the reconnect.
    EXPECT_EQ(mu_.MUPrev().Date, 20001015);
    EXPECT_EQ(mu_.MUPrev().Hour, 10);
    EXPECT_TRUE(ErrLog().empty()) << "the scheduler reports the lost connection";
}

// A NULL where a counter is expected ("<Null>") is a failed reading: it
// gives its hour no growth and is no baseline for the next hour, which would
// otherwise get the whole counter as its growth.
TEST_F(MemoryUnitTest, ANullCounterIsAFailedReadingAndNoBaseline)
{
    const std::time_t k13h00 = MakeLocalTime(2000, 10, 15, 13, 0, 4);
    auto nullsAtTheNextReading = [&] {
        ApplyCounters(db_, counters_);
        db_.SetResult(mu_sql::kSqlArea, "SQL AREA", {{{"RELOADS", "11"}}});  // PINS is NULL
        db_.Latches[3].Gets = "<Null>";                                        // "shared pool"
    };
    mu_.HourMU(k10h20);
    counters_.Grow(1);
    nullsAtTheNextReading();
    mu_.HourMU(k11h00);
    counters_.Grow(2);
    ApplyCounters(db_, counters_);
    mu_.HourMU(k12h00);
    counters_.Grow(4);
    ApplyCounters(db_, counters_);
    mu_.HourMU(k13h00);

    const auto mu = ReadLines("MU20001015.dat");
    ASSERT_EQ(mu.size(), 3u);
    constexpr int kSqlPins = 349, kSqlReloads = 369, kLibPins = 389;
    constexpr int kChainsGets = 189, kSharedPoolGets = 309, kSharedPoolMisses = 329;
    for (int h = 0; h < 2; ++h) {
        SCOPED_TRACE("hour " + std::to_string(10 + h));
        EXPECT_EQ(NumAt(mu[h], kSqlPins, 20), 0);
        EXPECT_EQ(NumAt(mu[h], kSqlReloads, 20), 0) << "the item's reading failed as a whole";
        EXPECT_EQ(NumAt(mu[h], kSharedPoolGets, 20), 0);
        EXPECT_EQ(NumAt(mu[h], kSharedPoolMisses, 20), 0);
    }
    EXPECT_EQ(NumAt(mu[0], kLibPins, 20), 500) << "the other items were read";
    EXPECT_EQ(NumAt(mu[1], kChainsGets, 20), 2000) << "the other latches were read";
    EXPECT_EQ(NumAt(mu[2], kSqlPins, 20), 400);
    EXPECT_EQ(NumAt(mu[2], kSharedPoolGets, 20), 4000);

    // The latch's day total holds the growth between numbers only.
    for (const std::string& l : ReadLines("ML20001015.dat")) {
        if (l.rfind("shared pool ", 0) == 0) {
            EXPECT_EQ(NumAt(l, 66, 20), 4000);
            EXPECT_EQ(NumAt(l, 86, 20), 40);
        }
        if (l.rfind("cache buffers chains ", 0) == 0) {
            EXPECT_EQ(NumAt(l, 66, 20), 7000);
        }
    }
    const auto log = ErrLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("<<MUReadMU_Hour(SA)>> PINS read as \"<Null>\", not a number"), std::string::npos)
        << log[0];
    EXPECT_NE(log[1].find("<<MUReadMU_Hour(LA)>> latch \"shared pool\" read as \"<Null> "), std::string::npos)
        << log[1];
}

TEST_F(MemoryUnitTest, ANullSampleChangesNothing)
{
    mu_.HourMU(k10h20);
    db_.SetResult(mu_sql::kSharedPool, nullptr, {{{"SHDP", "50000000"}}});  // FREE is NULL
    mu_.SampleMU_SP();
    EXPECT_EQ(mu_.MUPrev().SharedPoolUsedMax, 0) << "not the whole pool in use";
    EXPECT_EQ(mu_.MUPrev().SharedPoolSize, 0);
    ASSERT_EQ(ErrLog().size(), 1u);
    EXPECT_NE(ErrLog()[0].find("<<MUReadMU_SP(SP)>> FREE read as \"<Null>\""), std::string::npos);
}

TEST_F(MemoryUnitTest, PurgeRemovesFilesOnOrBeforeTheCutoffOnly)
{
    for (const char* n : {"MU20000707.dat", "MU20000708.dat", "MUabc.dat", "MU.dat",
                          "ML20000101.dat", "ML20000708.dat"})
        Touch(n);
    mu_.DelMU(20000707);
    mu_.DelML(20000707);
    EXPECT_FALSE(Exists("MU20000707.dat"));
    EXPECT_TRUE(Exists("MU20000708.dat"));
    EXPECT_TRUE(Exists("MUabc.dat"));
    EXPECT_TRUE(Exists("MU.dat"));
    EXPECT_FALSE(Exists("ML20000101.dat"));
    EXPECT_TRUE(Exists("ML20000708.dat"));
    EXPECT_TRUE(ErrLog().empty());
}

// From version 8 every pool has a 'free memory' row: the sample asks for
// the shared pool's. Version 7 has no POOL column and keeps the plain join.
TEST_F(MemoryUnitTest, SharedPoolSampleReadsTheSharedPoolsOwnFreeMemory)
{
    int version = 19;
    mu_.UseOracleVersion(&version);
    mu_.HourMU(k10h20);
    db_.SetResult(mu_sql::kSharedPool, nullptr, {{{"FREE", "23000000"}, {"SHDP", "50000000"}}});  // the java pool's
    db_.SetResult(mu_sql::kSharedPoolOfPool, nullptr, {{{"FREE", "20000000"}, {"SHDP", "50000000"}}});
    mu_.SampleMU_SP();
    EXPECT_EQ(mu_.MUPrev().SharedPoolUsedMax, 30000000);
    EXPECT_EQ(db_.Executed.count(mu_sql::kSharedPool), 0u);
    for (int older : {0, 7}) {
        version = older;   // 0: not known yet
        mu_.SampleMU_SP();
        EXPECT_EQ(mu_.MUPrev().SharedPoolUsedMax, 30000000);
    }
    EXPECT_EQ(db_.Executed.count(mu_sql::kSharedPool), 2u);
    EXPECT_EQ(db_.Executed.count(mu_sql::kSharedPoolOfPool), 1u);
    EXPECT_TRUE(ErrLog().empty());
}

// Under automatic memory shared_pool_size reads 0: the pool's size is its
// current size, and an hour never gets size 0 or a negative use.
TEST_F(MemoryUnitTest, ZeroSharedPoolSizeReadsThePoolsCurrentSize)
{
    int version = 19;
    mu_.UseOracleVersion(&version);
    mu_.HourMU(k10h20);
    db_.SetResult(mu_sql::kSharedPoolOfPool, nullptr, {{{"FREE", "80000000"}, {"SHDP", "0"}}});
    db_.SetResult(mu_sql::kSharedPoolCurrentSize, nullptr, {{{"CURRENT_SIZE", "335544320"}}});
    mu_.SampleMU_SP();
    counters_.Grow(1);
    ApplyCounters(db_, counters_);
    mu_.HourMU(k11h00);
    const std::string l = ReadLines("MU20001015.dat").at(0);
    EXPECT_EQ(NumAt(l, 3, 20), 335544320);
    EXPECT_EQ(NumAt(l, 23, 20), 335544320 - 80000000);
    EXPECT_TRUE(ErrLog().empty());
}

TEST_F(MemoryUnitTest, ASharedPoolSizeBelowItsFreeMemoryIsNeverWritten)
{
    int version = 19;
    mu_.UseOracleVersion(&version);
    mu_.HourMU(k10h20);
    // A minimum set by hand below what the pool has grown to: the current size wins.
    db_.SetResult(mu_sql::kSharedPoolOfPool, nullptr, {{{"FREE", "80000000"}, {"SHDP", "67108864"}}});
    db_.SetResult(mu_sql::kSharedPoolCurrentSize, nullptr, {{{"CURRENT_SIZE", "134217728"}}});
    mu_.SampleMU_SP();
    EXPECT_EQ(mu_.MUPrev().SharedPoolSize, 134217728);
    EXPECT_EQ(mu_.MUPrev().SharedPoolUsedMax, 134217728 - 80000000);
    // No current size either: the sample is not taken, and said so once.
    db_.SetResult(mu_sql::kSharedPoolOfPool, nullptr, {{{"FREE", "80000000"}, {"SHDP", "0"}}});
    db_.SetResult(mu_sql::kSharedPoolCurrentSize, nullptr, {});
    mu_.SampleMU_SP();
    mu_.SampleMU_SP();
    EXPECT_EQ(mu_.MUPrev().SharedPoolSize, 134217728) << "the last good sample stays";
    const auto log = ErrLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("<<MUReadMU_SP(SP)>> the shared pool's size is not known"), std::string::npos) << log[0];
    // Version 8 has no dynamic components to ask.
    version = 8;
    const auto asked = db_.Executed.count(mu_sql::kSharedPoolCurrentSize);
    mu_.SampleMU_SP();
    EXPECT_EQ(db_.Executed.count(mu_sql::kSharedPoolCurrentSize), asked);
}

// The latch tables pair by name, whatever order the instance sorted them
// in: under a linguistic sort "SQL memory manager latch" comes among the
// s's, and a latch new in the current reading must not hide the others.
TEST_F(MemoryUnitTest, LatchGrowthPairsByNameWhateverTheOrder)
{
    counters_.Latches = {{"library cache", "100", "1"},
                         {"SQL memory manager latch", "200", "2"},
                         {"undo global data", "300", "3"}};
    ApplyCounters(db_, counters_);
    mu_.HourMU(k10h20);
    counters_.Latches = {{"library cache", "150", "1"},
                         {"shared pool", "5000", "50"},
                         {"SQL memory manager latch", "260", "2"},
                         {"undo global data", "370", "4"}};
    ApplyCounters(db_, counters_);
    mu_.HourMU(k11h00);
    const auto ml = ReadLines("ML20001015.dat");
    ASSERT_EQ(ml.size(), 3u);
    EXPECT_EQ(At(ml[0], 1, 13), "library cache");
    EXPECT_EQ(NumAt(ml[0], 66, 20), 50);
    EXPECT_EQ(At(ml[1], 1, 24), "SQL memory manager latch");
    EXPECT_EQ(NumAt(ml[1], 66, 20), 60);
    EXPECT_EQ(At(ml[2], 1, 16), "undo global data");
    EXPECT_EQ(NumAt(ml[2], 66, 20), 70);
    EXPECT_EQ(NumAt(ml[2], 86, 20), 1);
}
