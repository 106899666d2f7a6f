// Fixed-position lines, latch totals, settings mapping and the command line.
#include <gtest/gtest.h>

#include "KvgArgs.h"
#include "KvgLines.h"
#include "KvgSettings.h"

TEST(NumberField, RoundsZeroFillsAndCuts)
{
    EXPECT_EQ(NumberField(1234, 6), "001234");
    EXPECT_EQ(NumberField(0, 20), std::string(20, '0'));
    EXPECT_EQ(NumberField(7, 2), "07");
    EXPECT_EQ(NumberField(-5, 6), "0000-5");
    EXPECT_EQ(NumberField(2.5, 3), "003");   // half away from zero
    EXPECT_EQ(NumberField(-0.4, 3), "000");  // no "-0"
    EXPECT_EQ(NumberField(123456, 4), "3456");
    EXPECT_EQ(NumberField(1e19, 20), "10000000000000000000");
}

TEST(NumberField, ReadsBackWhatItWrote)
{
    EXPECT_EQ(ParseNumberField("00000000000000001234"), 1234);
    EXPECT_EQ(ParseNumberField("0000-5"), -5);
    EXPECT_EQ(TextToNumber("<Null>"), 0);
    EXPECT_EQ(TextToNumber(" 42 "), 42);
    EXPECT_EQ(TextToNumber("12abc"), 0);
}

TEST(MULine, PutsEveryFieldAtItsPosition)
{
    TMURecord prev, fresh;
    prev.Hour = 7;
    prev.SharedPoolSize = 1000;
    prev.SharedPoolUsedMax = 900;
    prev.LogBufferMax = 555;
    prev.RedoBuffers = 1;  // not used: redo buffers come from the end of the hour
    fresh.DatabaseBuffers = 8192;
    fresh.RedoBuffers = 4096;
    fresh.SortAreaSize = 65536;
    prev.ValidItems = fresh.ValidItems = ~0u;
    double* prevCounters[] = {&prev.CacheBuffersChains.Gets, &prev.CacheBuffersChains.Misses,
                              &prev.CacheBuffersLruChain.Gets, &prev.CacheBuffersLruChain.Misses,
                              &prev.LibraryCache.Gets, &prev.LibraryCache.Misses,
                              &prev.SharedPool.Gets, &prev.SharedPool.Misses,
                              &prev.SqlAreaPins, &prev.SqlAreaReloads, &prev.LibCachePins,
                              &prev.LibCacheReloads, &prev.DictGets, &prev.DictGetMisses,
                              &prev.LogicalReads, &prev.PhysicalReads, &prev.SortsMemory,
                              &prev.SortsDisk, &prev.RowsSorted};
    double* freshCounters[] = {&fresh.CacheBuffersChains.Gets, &fresh.CacheBuffersChains.Misses,
                               &fresh.CacheBuffersLruChain.Gets, &fresh.CacheBuffersLruChain.Misses,
                               &fresh.LibraryCache.Gets, &fresh.LibraryCache.Misses,
                               &fresh.SharedPool.Gets, &fresh.SharedPool.Misses,
                               &fresh.SqlAreaPins, &fresh.SqlAreaReloads, &fresh.LibCachePins,
                               &fresh.LibCacheReloads, &fresh.DictGets, &fresh.DictGetMisses,
                               &fresh.LogicalReads, &fresh.PhysicalReads, &fresh.SortsMemory,
                               &fresh.SortsDisk, &fresh.RowsSorted};
    for (int i = 0; i < 19; ++i) {
        *prevCounters[i] = 1000;
        *freshCounters[i] = 1000 + i + 1;
    }
    fresh.RowsSorted = 10;  // fell: written as 0

    const std::string line = BuildMULine(prev, fresh);
    ASSERT_EQ(line.size(), 568u);
    EXPECT_EQ(line.substr(0, 2), "07");
    EXPECT_EQ(std::stoll(line.substr(2, 20)), 1000);
    EXPECT_EQ(std::stoll(line.substr(22, 20)), 900);
    EXPECT_EQ(line.substr(42, 36), std::string(36, '0'));
    EXPECT_EQ(std::stoll(line.substr(78, 20)), 8192);
    EXPECT_EQ(line.substr(98, 12), std::string(12, '0'));
    EXPECT_EQ(std::stoll(line.substr(110, 20)), 4096);
    EXPECT_EQ(std::stoll(line.substr(130, 20)), 555);
    EXPECT_EQ(std::stoll(line.substr(150, 20)), 65536);
    EXPECT_EQ(line.substr(170, 18), std::string(18, '0'));
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(std::stoll(line.substr(188 + 20 * i, 20)), i + 1) << "field " << 19 + i;
    EXPECT_EQ(std::stoll(line.substr(548, 20)), 0);
    EXPECT_EQ(line.find_first_not_of("0123456789"), std::string::npos);
}

TEST(MULine, NoDeltaAcrossAFailedReading)
{
    TMURecord prev, fresh;
    prev.SqlAreaPins = 0;  // the item failed at the start of the hour
    fresh.SqlAreaPins = 123456;
    prev.ValidItems = ~0u & ~muItemSA;
    fresh.ValidItems = ~0u;
    EXPECT_EQ(std::stoll(BuildMULine(prev, fresh).substr(348, 20)), 0);
}

TEST(ORLine, LayoutAndReservedZeros)
{
    TORRecord r;
    r.Logins = 2;
    r.InstalledMemory = 256;
    r.MemUseMax = 200;
    r.MemUseMin = 999999999;
    r.CpuMax = 77;  // not gathered: always written as 0
    const std::string line = BuildORLine(23, r);
    ASSERT_EQ(line.size(), 121u);
    EXPECT_EQ(line.substr(0, 2), "23");
    EXPECT_EQ(line.substr(2, 46), std::string(46, '0'));
    EXPECT_EQ(line.substr(48, 3), "002");
    EXPECT_EQ(std::stoll(line.substr(51, 20)), 256);
    EXPECT_EQ(std::stoll(line.substr(71, 20)), 200);
    EXPECT_EQ(line.substr(91, 20), "00000000000999999999");
    EXPECT_EQ(line.substr(111, 10), std::string(10, '0'));
}

TEST(LatchTotals, AddsMatchesWithoutCaseAndSorts)
{
    TLatchTotals t;
    t.Add("shared pool", 10, 1);
    t.Add("Cache buffers chains", 5, 0);
    t.Add("SHARED POOL", 7, -1);  // negative misses travel with a positive gets delta
    t.Sort();
    ASSERT_EQ(t.Lines().size(), 2u);
    EXPECT_EQ(t.Lines()[0].size(), 105u);
    EXPECT_EQ(t.Lines()[0].substr(0, 20), "Cache buffers chains");
    EXPECT_EQ(t.Lines()[1].substr(64, 1), "=");
    EXPECT_EQ(std::stoll(t.Lines()[1].substr(65, 20)), 17);
    EXPECT_EQ(std::stoll(t.Lines()[1].substr(85, 20)), 0);

    const TLatchTotals back = TLatchTotals::FromFileText(t.ToFileText());
    EXPECT_EQ(back.Lines(), t.Lines());
}

TEST(LatchTotals, LongNamesAreKeyedByTheirFirst64Characters)
{
    const std::string longName(70, 'x');
    TLatchTotals t;
    t.Add(longName, 1, 1);
    t.Add(longName.substr(0, 64) + "yyy", 2, 2);
    ASSERT_EQ(t.Lines().size(), 1u);
    EXPECT_EQ(std::stoll(t.Lines()[0].substr(65, 20)), 3);
}

TEST(LatchTotals, NegativeTotalsReadBack)
{
    TLatchTotals t;
    t.Add("x", 5, -3);
    t.Add("x", 5, 1);
    EXPECT_EQ(ParseNumberField(t.Lines()[0].substr(85, 20)), -2) << t.Lines()[0];
    EXPECT_EQ(t.Lines()[0].substr(85, 20), "000000000000000000-2");
}

TEST(Settings, IntervalsAndKeepDaysAreNormalised)
{
    EXPECT_EQ(IntervalSeconds[IntervalIndexFor(45)], 60);
    EXPECT_EQ(IntervalSeconds[IntervalIndexFor(4000)], 5);
    EXPECT_EQ(IntervalSeconds[IntervalIndexFor(0)], 5);
    EXPECT_EQ(IntervalSeconds[IntervalIndexFor(3600)], 3600);
    EXPECT_EQ(KeepDaysFor(0), 100);
    EXPECT_EQ(KeepDaysFor(5000), 999);
    EXPECT_EQ(KeepDaysFor(-3), 1);
    EXPECT_STREQ(IntervalLabels[2], "  1分");
}

TEST(CommandLine, ThreeTwoOrNoArguments)
{
    auto r = ParseCollectorArgs({"KELV_ORA10", "system", "manager"}, nullptr);
    EXPECT_EQ(r.Mode, TCollectorArgs::UseCredentials);
    EXPECT_EQ(r.Password, "manager");
    EXPECT_FALSE(r.PasswordFromStdin);

    r = ParseCollectorArgs({"KELV_ORA10", "system"}, "secret");
    EXPECT_EQ(r.Mode, TCollectorArgs::UseCredentials);
    EXPECT_EQ(r.Password, "secret");

    r = ParseCollectorArgs({"KELV_ORA10", "system"}, nullptr);
    EXPECT_TRUE(r.PasswordFromStdin);

    EXPECT_EQ(ParseCollectorArgs({}, nullptr).Mode, TCollectorArgs::UseDialog);
    EXPECT_EQ(ParseCollectorArgs({"--settings"}, nullptr).Mode, TCollectorArgs::ShowSettings);
    EXPECT_EQ(ParseCollectorArgs({"only-one"}, nullptr).Mode, TCollectorArgs::Invalid);
    EXPECT_EQ(FirstLine("pw\r\nrest"), "pw");
}
