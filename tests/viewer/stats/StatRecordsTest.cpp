// The viewer cuts the lines the collector builds: every field must land in
// its column, and damaged lines must never shift a figure.
#include <gtest/gtest.h>

#include "KvStatRecords.h"
#include "KvgLines.h"

namespace {

TMURecord Reading(int hour, double base) {
    TMURecord r;
    r.Hour = hour;
    r.ValidItems = ~0u;
    double v = base;
    for (double* f : {&r.SharedPoolSize, &r.SharedPoolUsedMax, &r.SqlAreaPins, &r.SqlAreaReloads,
                      &r.LibCachePins, &r.LibCacheReloads, &r.DictGets, &r.DictGetMisses,
                      &r.DatabaseBuffers, &r.LogicalReads, &r.PhysicalReads, &r.RedoBuffers,
                      &r.LogBufferMax, &r.SortAreaSize, &r.SortsMemory, &r.SortsDisk, &r.RowsSorted,
                      &r.CacheBuffersChains.Gets, &r.CacheBuffersChains.Misses,
                      &r.CacheBuffersLruChain.Gets, &r.CacheBuffersLruChain.Misses,
                      &r.LibraryCache.Gets, &r.LibraryCache.Misses, &r.SharedPool.Gets,
                      &r.SharedPool.Misses})
        *f = (v += 1000);
    return r;
}

std::string MULine(int hour) {
    TMURecord prev = Reading(hour, 1'000'000);
    TMURecord fresh = Reading(hour + 1, 1'000'000);
    // Distinct growth per counter so that a swapped column shows.
    fresh.SqlAreaPins += 5;   fresh.SqlAreaReloads += 6;  fresh.LibCachePins += 7;
    fresh.LibCacheReloads += 8; fresh.DictGets += 9;      fresh.DictGetMisses += 10;
    fresh.LogicalReads += 12; fresh.PhysicalReads += 13;  fresh.SortsMemory += 17;
    fresh.SortsDisk += 18;    fresh.RowsSorted += 19;
    fresh.CacheBuffersChains.Gets += 20; fresh.CacheBuffersChains.Misses += 21;
    fresh.CacheBuffersLruChain.Gets += 22; fresh.CacheBuffersLruChain.Misses += 23;
    fresh.LibraryCache.Gets += 24; fresh.LibraryCache.Misses += 25;
    fresh.SharedPool.Gets += 26; fresh.SharedPool.Misses += 27;
    return BuildMULine(prev, fresh);
}

double Num(const std::string& s) { return std::stod(s); }

TEST(StatRecords, CollectorMemoryLineLandsInItsColumns) {
    const std::string line = MULine(7);
    ASSERT_EQ(line.size(), static_cast<size_t>(kMUFullLength));
    const TStatTable t = ReadStatRecords(line + "\r\n", TStatLayout::MU);
    ASSERT_EQ(t.Rows.size(), 1u);
    const TRawRow& r = t.Rows[0];
    ASSERT_EQ(r.size(), static_cast<size_t>(kMUColumns));
    EXPECT_EQ(r[2], "7");
    EXPECT_EQ(Num(r[3]), 1'001'000);          // shared pool size of the hour
    EXPECT_EQ(Num(r[4]), 1'002'000);          // its largest use
    // Each counter grew by its own column number over the hour.
    for (int col : {5, 6, 7, 8, 9, 10, 12, 13}) EXPECT_EQ(Num(r[col]), col) << col;
    for (int col = 17; col <= 27; ++col) EXPECT_EQ(Num(r[col]), col) << col;
    EXPECT_EQ(Num(r[11]), 1'009'000);   // buffer cache size
    EXPECT_EQ(Num(r[14]), 1'012'000);   // log buffer size
    EXPECT_EQ(Num(r[15]), 1'013'000);   // its largest use
    EXPECT_EQ(Num(r[16]), 1'014'000);   // sort area size
    EXPECT_FALSE(t.Report.Damaged());
    EXPECT_EQ(StatReadMessage(t.Report), "");
}

TEST(StatRecords, CollectorRateLineLandsInItsColumns) {
    TORRecord rec;
    rec.Logins = 12;
    rec.InstalledMemory = 2048;
    rec.MemUseMax = 1500;
    rec.MemUseMin = 900;
    const std::string line = BuildORLine(5, rec);
    ASSERT_EQ(line.size(), static_cast<size_t>(kORFullLength));
    const TStatTable t = ReadStatRecords(line + "\r\n", TStatLayout::OR);
    ASSERT_EQ(t.Rows.size(), 1u);
    const TRawRow& r = t.Rows[0];
    ASSERT_EQ(r.size(), static_cast<size_t>(kORColumns));
    EXPECT_EQ(r[2], "5");
    EXPECT_EQ(r[3], "0000000000");
    EXPECT_EQ(Num(r[9]), 12);
    EXPECT_EQ(Num(r[10]), 2048);
    EXPECT_EQ(Num(r[11]), 1500);
    EXPECT_EQ(Num(r[12]), 900);
    EXPECT_EQ(Num(r[13]), 0);
}

TEST(StatRecords, EarlierShortLayoutShowsItsSixCharacterCounters) {
    std::string line = MULine(3).substr(0, kMUShortLength);
    line.replace(42, 6, "000042");   // SQL area pins in the 6-character field
    const TStatTable t = ReadStatRecords(line, TStatLayout::MU);
    ASSERT_EQ(t.Rows.size(), 1u);
    EXPECT_EQ(t.Rows[0][5], "000042");
    EXPECT_FALSE(t.Report.Damaged());
}

TEST(StatRecords, CleaningKeepsLengthAndReportsReplacements) {
    const TCleanedLine a = CleanRecordLine("  0012-4 5.0\r");
    EXPECT_EQ(a.Text, "00120405.0");
    EXPECT_TRUE(a.Changed);
    const TCleanedLine b = CleanRecordLine("  00123 ");
    EXPECT_EQ(b.Text, "00123");
    EXPECT_FALSE(b.Changed);

    std::string line = MULine(4);
    line[350] = '-';   // inside the SQL area pins field: read as "0"
    const TStatTable t = ReadStatRecords(line, TStatLayout::MU);
    ASSERT_EQ(t.Rows.size(), 1u);
    EXPECT_EQ(t.Rows[0][5], "00000000000000000005");
    EXPECT_EQ(t.Report.Corrected, 1);
    EXPECT_NE(StatReadMessage(t.Report), "");
}

TEST(StatRecords, DamagedLinesAreSkippedNotMisread) {
    std::string text;
    text += MULine(1) + "\r\n";
    text += MULine(2).substr(0, 500) + "\r\n";          // cut short: fields would shift
    text += MULine(3).substr(0, 100) + "\r\n";
    text += "\r\n";                                     // blank lines carry nothing
    text += "99" + MULine(4).substr(2) + "\r\n";        // no such hour
    text += MULine(5) + "0000000000\r\n";               // a later, longer layout
    text += MULine(6);                                  // last line without CR LF
    const TStatTable t = ReadStatRecords(text, TStatLayout::MU);
    ASSERT_EQ(t.Rows.size(), 3u);
    EXPECT_EQ(t.Rows[0][2], "1");
    EXPECT_EQ(t.Rows[1][2], "5");
    EXPECT_EQ(t.Rows[2][2], "6");
    EXPECT_EQ(Num(t.Rows[1][5]), 5);
    EXPECT_EQ(t.Report.Skipped, 3);
    EXPECT_EQ(t.Report.FutureLayout, 1);
    EXPECT_NE(StatReadMessage(t.Report).find("3"), std::string::npos);

    EXPECT_TRUE(ReadStatRecords("", TStatLayout::MU).Rows.empty());
    EXPECT_TRUE(ReadStatRecords("\r\n\r\n", TStatLayout::OR).Rows.empty());
}

TEST(StatRecords, RepeatedAndUnorderedHoursGiveOneRowPerHourInOrder) {
    TORRecord first, second;
    first.Logins = 1;
    second.Logins = 2;
    std::string text;
    for (int h = 0; h < 24; ++h) text += BuildORLine(h, first) + "\r\n";
    text += BuildORLine(10, second) + "\r\n";   // written again: the last counts
    text += BuildORLine(3, second) + "\r\n";
    const TStatTable t = ReadStatRecords(text, TStatLayout::OR);
    ASSERT_EQ(t.Rows.size(), 24u);
    for (int h = 0; h < 24; ++h) EXPECT_EQ(t.Rows[h][2], std::to_string(h));
    EXPECT_EQ(Num(t.Rows[10][9]), 2);
    EXPECT_EQ(Num(t.Rows[3][9]), 2);
    EXPECT_EQ(Num(t.Rows[4][9]), 1);
    EXPECT_EQ(t.Report.Duplicates, 2);

    const TStatTable unordered =
        ReadStatRecords(BuildORLine(9, first) + "\r\n" + BuildORLine(8, first), TStatLayout::OR);
    ASSERT_EQ(unordered.Rows.size(), 2u);
    EXPECT_EQ(unordered.Rows[0][2], "8");
    EXPECT_TRUE(unordered.Report.Reordered);
}

}  // namespace
